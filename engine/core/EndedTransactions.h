#pragma once

#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/ZUVATransaction.h"

#include <QString>

#include <boost/optional.hpp>

#include <map>
#include <memory>

namespace oxa {

// The transactions of a connection that have ended, by sequence number: a
// reply under such a number is a late or repeated one of that transaction
// until a newer transaction is sent with the number (which then holds it in
// flight, and takes its place here when it ends). Only what a report of
// that reply needs is kept, so that the transaction and its callbacks are
// released as before. Not thread-safe.
class EndedTransactions {
public:
    struct Entry {
        // Identifies the transaction while it lives; never dereferenced.
        ZUVATransaction const* transaction = nullptr;
        QString action;
        std::shared_ptr<JsonZUVAResponse> response;
        // The host is still to hear of its reply: the transaction ended
        // without it, and the terminal may have carried it out.
        bool reportable = false;
        // Its late reply has been reported: the terminal may send it again.
        bool lateReplyReported = false;
    };

    void remember(ZUVATransaction const& transaction, bool reportable);
    // The transaction ended with its reply after all: nothing to report.
    void answered(ZUVATransaction const& transaction);
    // The ended transaction that holds the number. It is reportable to the
    // first caller with a message of the type it expected, or of any type when
    // anyType, so that its reply is reported once and stray messages never.
    boost::optional<Entry> take(int sequenceNumber, QString const& messageTypeId, bool anyType);

private:
    std::map<int, Entry> entries_;
};

} // namespace oxa
