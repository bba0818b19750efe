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
// nothing. Under the number of a transaction that took its reply, a reply of
// its type goes by its type too until two transactions have taken replies
// under their own, different numbers: a terminal answering under one number
// cannot be told from an echoing one before. Remembers what it needs of each
// ended transaction under its number until a newer one ends under it. Not
// thread-safe.
// Cost per reply (callgrind, handleMessage inclusive): an information request
// 55,833 instructions, a sale 190,878 (55,581 and 190,966 when an echo needed
// no showing); an answered sale's request is read only when a reply under its
// number asks what it asked for. Memory: about 5 kB of records a connection.
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

    // What became of a reply.
    enum Fate {
        Taken,
        // The same bytes again, or its ended transaction's reply once more: logged.
        Repeat,
        // Its transaction ended without it.
        LateReply,
        // Another reply of a transaction that took its own: a resend stamped
        // anew or a changed answer, which the host hears of.
        Resent,
        // Under the number of a transaction that took another's reply by its
        // type: that transaction's result may be another's.
        Contested,
        Nobody
    };

    // What an ended transaction's reply tells the host.
    struct Ended {
        QString action;
        // Tells what its reply carries; shared by the transactions of its action.
        std::shared_ptr<JsonZUVAResponse> response;
        Fate fate = Repeat;
        // The host is still to hear of it.
        bool reportable = false;
    };

    struct Decision {
        Fate kind = Nobody;
        // Taken: the index in the transactions in flight.
        int taker = -1;
        // Repeat, LateReply, Resent, Contested: the ended transaction it belongs to.
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
        // It took its reply under its own number.
        bool echoed = false;
        bool reportable = false;
        // It took a reply under an answered transaction's number, by its type.
        bool contested = false;
        // It took its reply, and it is of the sale family.
        bool sale = false;
        // A late, resent or contested reply has come, and the host has heard
        // of it: heardGist is what it said.
        bool lateReplySeen = false;
        // The reply it took, or its late reply.
        std::uint64_t digest = 0;
        std::uint64_t heardGist = 0;
        // The amount it asked for, when it ended without its reply.
        boost::optional<std::int64_t> requested;
    };

    // The last sale that took its reply, for what it asked: the echo of a
    // counter that fell one behind approves another amount. Read only then,
    // not for every sale; an older sale's request is not kept.
    struct LastSale {
        int number = -1;
        std::shared_ptr<JsonTransactionRequest> request;
        QByteArray body;
    };

    boost::optional<Decision> matchEnded(Record& record, Reply const& reply, InFlight const& inFlight);
    Decision matchLate(Record& record, Reply const& reply, std::uint64_t digest, InFlight const& inFlight);
    Decision matchOneNumber(Record& record, Reply const& reply, std::uint64_t digest, InFlight const& inFlight);
    Decision takeByType(int waiting, InFlight const& inFlight, char const* why);
    Decision matchEcho(Record& record, Reply const& reply, std::uint64_t digest, InFlight const& inFlight);
    Decision resent(Record& record, Reply const& reply, std::uint64_t digest, InFlight const& inFlight);
    Decision matchByType(Reply const& reply, InFlight const& inFlight);
    // A reply nobody takes under the number of a transaction that took
    // another's by its type, once numbers decide nothing.
    Decision nobodyOrContested(Decision byType, Reply const& reply);
    // A transaction took its reply under its own number.
    void noteEcho(Reply const& reply, Decision const& decision, InFlight const& inFlight);
    // The waiting transaction that takes a reply of its type, -1 when none.
    static int waitingFor(Reply const& reply, InFlight const& inFlight);
    int takerOf(QString const& type, int number, InFlight const& inFlight) const;
    static bool holds(int number, InFlight const& inFlight);
    Record* recordOf(int number);
    // The approval the waiting sale asked for, not the ended one's.
    bool isWaitingSalesOwn(Record const& record, Reply const& reply, ZUVATransaction const& waiting) const;
    // The ended transaction is known to have asked for another amount.
    bool askedOtherThan(Record const& record, std::int64_t approved) const;
    // What a reply tells the host, as a digest: the amount it approves, else
    // its facts; two replies saying the same are one for the host.
    static std::uint64_t gistOf(Record const& record, Reply const& reply);
    // Warned of unless the host heard the same of the ended transaction before.
    Decision heardOnce(Fate fate, Record& record, Reply const& reply, char const* why);
    // The reply's approved amount differs from what the waiting one asked for.
    static bool amountsTellApart(Reply const& reply, ZUVATransaction const& waiting);
    // Notes a reply set aside on each waiting transaction whose own it may be.
    void noteSetAside(Reply const& reply, InFlight const& inFlight);
    Decision setAside(Fate fate, Record const& record, char const* why) const;
    QString const& intern(QString const& action);

    bool trusted_ = true;
    // The first own number a transaction took its reply under; -1 before.
    int firstEcho_ = -1;
    // Two transactions took their replies under their own, different numbers.
    bool echoShown_ = false;
    // Took a reply under an answered transaction's number, by its type; never dereferenced.
    ZUVATransaction const* contestedTaker_ = nullptr;
    std::array<Record, ECTMessageSequenceNumber::kMaximum + 1> records_;
    LastSale lastSale_;
    // A reply of its type set aside while it waited, by transaction.
    std::vector<std::pair<ZUVATransaction const*, QString>> setAside_;
    // Each action's name once, shared by the records.
    std::vector<QString> actions_;
};

} // namespace oxa
