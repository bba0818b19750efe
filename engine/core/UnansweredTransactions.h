#pragma once

#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/ZUVATransaction.h"

#include <QString>

#include <boost/optional.hpp>

#include <cstddef>
#include <deque>
#include <memory>

namespace oxa {

// The last few transactions that failed without their reply (time-out, lost
// link or frame), and those of the sale family that the host ended. The
// terminal may still have carried such a transaction out, and its reply must
// then not pass for stray traffic. Only what a report of that reply needs is
// kept, so that the transaction and its callbacks are released as before.
// Not thread-safe.
class UnansweredTransactions {
public:
    struct Entry {
        // Identifies the transaction while it lives; never dereferenced.
        ZUVATransaction const* transaction = nullptr;
        QString action;
        std::shared_ptr<JsonZUVAResponse> response;
        int sequenceNumber = 0;
    };

    static constexpr std::size_t kKept = 8;

    void remember(ZUVATransaction const& transaction);
    // The transaction ended with a result after all (its reply came first).
    void forget(ZUVATransaction const& transaction);
    // The most recent entry that a reply of this type answers, preferring the
    // one whose request carried the reply's sequence number; it is forgotten,
    // so that its reply is reported once.
    boost::optional<Entry> take(QString const& messageTypeId, int sequenceNumber);
    // The most recent entry whose request carried the number, whatever the
    // reply's type; forgotten as well.
    boost::optional<Entry> take(int sequenceNumber);

private:
    using Newest = std::deque<Entry>::reverse_iterator;
    boost::optional<Entry> takeAt(Newest chosen);

    std::deque<Entry> entries_;
};

} // namespace oxa
