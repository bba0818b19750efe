#pragma once

#include "encoding/ECTMessageSequenceNumber.h"
#include "engine/core/ZUVATransaction.h"

#include <QByteArray>
#include <QString>

#include <boost/optional.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace oxa {

// Which transaction of one connection a terminal's reply belongs to. A reply
// goes by its type; its number decides only where a terminal that echoes its
// requests' numbers would have sent it, and only until the terminal shows that
// it numbers otherwise: from then on, for the connection, numbers decide
// nothing. Remembers what it needs of each ended transaction under its number
// until a newer one ends under it. Not thread-safe.
// Cost per reply, with the digest (callgrind, handleMessage inclusive): an
// information request 56,128 instructions, a sale 190,140; type matching
// alone took 58,121 and 192,566. Memory: about 4 kB of records a connection.
class ReplyMatcher {
public:
    struct Reply {
        QString type;
        int number = 0;
        // An error or a rejection, which any transaction may get.
        bool anyType = false;
        // The whole body; read again only when an amount or a repeat decides.
        QByteArray body;
    };

    // The transactions in flight: the set-aside ones in the order they were
    // set aside, then the current one.
    using InFlight = std::vector<ZUVATransaction const*>;

    // What an ended transaction's reply tells the host.
    struct Ended {
        QString action;
        // Tells what its reply carries; shared by the transactions of its action.
        std::shared_ptr<JsonZUVAResponse> response;
        // The host is still to hear of it.
        bool reportable = false;
        // The same bytes again.
        bool repeat = false;
    };

    struct Decision {
        enum Kind { Taken, Repeat, LateReply, Nobody };
        Kind kind = Nobody;
        // Taken: the index in the transactions in flight.
        int taker = -1;
        // Repeat, LateReply: the ended transaction it belongs to.
        boost::optional<Ended> ended;
        char const* why = "";
    };

    static std::uint64_t digestOf(QByteArray const& body);

    Decision match(Reply const& reply, InFlight const& inFlight);
    // The one that takes a reply of the type by type alone: a set-aside
    // transaction expecting it, else the current one; -1 when none.
    static int takerOf(QString const& type, InFlight const& inFlight);
    // The transaction left; reportable when the host is still to hear of its
    // reply. Returns the warning for one that left without its reply while
    // one of its type was set aside: that one may have been its own.
    boost::optional<QString> end(ZUVATransaction const& transaction, bool answered, bool reportable);
    // The transaction left unanswered took its reply after all.
    void answered(ZUVATransaction const& transaction);
    bool numbersTrusted() const { return trusted_; }

private:
    struct Record {
        // Identifies the transaction while it lives; never dereferenced.
        ZUVATransaction const* transaction = nullptr;
        QString action;
        std::shared_ptr<JsonZUVAResponse> response;
        bool answered = false;
        bool reportable = false;
        // A late reply has come; digest is then that reply's.
        bool lateReplySeen = false;
        // The reply it took, or its last late reply.
        std::uint64_t digest = 0;
        // The amount it asked for, when it ended without its reply.
        boost::optional<std::int64_t> requested;
    };

    boost::optional<Decision> matchEnded(Record& record, Reply const& reply, InFlight const& inFlight);
    Decision matchByType(Reply const& reply, InFlight const& inFlight);
    int takerOf(QString const& type, int number, InFlight const& inFlight) const;
    static bool holds(int number, InFlight const& inFlight);
    Record* recordOf(int number);
    // The approval the waiting sale asked for, not the ended one's.
    static bool isWaitingSalesOwn(Record const& record, Reply const& reply, ZUVATransaction const& waiting);
    // The reply's approved amount differs from what the waiting one asked for.
    static bool amountsTellApart(Reply const& reply, ZUVATransaction const& waiting);
    // Notes a reply set aside on each waiting transaction whose own it may be.
    void noteSetAside(Reply const& reply, InFlight const& inFlight);
    Decision setAside(Decision::Kind kind, Record const& record, char const* why) const;
    QString const& intern(QString const& action);

    bool trusted_ = true;
    std::array<Record, ECTMessageSequenceNumber::kMaximum + 1> records_;
    // A reply of its type set aside while it waited, by transaction.
    std::vector<std::pair<ZUVATransaction const*, QString>> setAside_;
    // Each action's name once, shared by the records.
    std::vector<QString> actions_;
};

} // namespace oxa
