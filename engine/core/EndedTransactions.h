#pragma once

#include "encoding/ECTMessageSequenceNumber.h"
#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/ZUVATransaction.h"

#include <QJsonObject>
#include <QString>

#include <boost/optional.hpp>

#include <array>
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
        // The request; its action is read only when a report names it.
        QJsonObject json;
        std::shared_ptr<JsonZUVAResponse> response;
        // It ended with its result.
        bool answered = false;
        // The type of the reply it ended with, when it did.
        QString replyType;
        // The host is still to hear of its reply: the transaction ended
        // without it, and the terminal may have carried it out.
        bool reportable = false;
        // Its late reply has been reported: the terminal may send it again.
        bool lateReplyReported = false;
        // The reply looked up is one the host has heard of, sent again.
        bool repeat = false;

        QString action() const;
    };

    void remember(ZUVATransaction const& transaction, bool answered, bool reportable);
    // The transaction ended with its reply after all: nothing to report.
    void answered(ZUVATransaction const& transaction);
    // The ended transaction that holds the number, as the reply finds it: its
    // late reply (its type, an error or a rejection, when it ended without
    // one), reportable to the first caller only; a repeat of the reply it
    // took (of its type or of the type it took) or of its late reply
    // reported; else a stray message under its number. None when no ended
    // transaction holds the number, or when an error or rejection of
    // another type than it took comes under the number of one that took its
    // result: the transactions in flight may take that.
    boost::optional<Entry> take(int sequenceNumber, QString const& messageTypeId, bool anyType);

private:
    std::array<boost::optional<Entry>, ECTMessageSequenceNumber::kMaximum + 1> entries_;
};

} // namespace oxa
