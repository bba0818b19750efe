#include "engine/core/ReplyMatcher.h"

#include <QHash>

#include <algorithm>

namespace oxa {

namespace {

// No transaction is sent with it.
constexpr int kNoNumber = -1;

bool inRange(int number)
{
    return number >= 0 && number <= ECTMessageSequenceNumber::kMaximum;
}

template <typename Read>
auto quietly(Read const& read) -> decltype(read())
{
    try {
        return read();
    } catch (...) {
        return decltype(read())();
    }
}

boost::optional<std::int64_t> approvedAmount(ZUVATransaction const& waiting, QByteArray const& body)
{
    return quietly([&] { return waiting.response->approvedAmount(body); });
}

boost::optional<std::int64_t> requestedAmount(ZUVATransaction const& transaction)
{
    if (!transaction.request)
        return boost::none;
    return quietly([&] { return transaction.request->requestedAmount(transaction.body.data()); });
}

bool cancelsAnother(ZUVATransaction const& transaction)
{
    return transaction.request && quietly([&] { return transaction.request->cancelsAnother(transaction.body.data()); });
}

} // namespace

// FNV-1a, 64 bits: Qt's byte-array hash lets replies differing in neighbouring
// bytes (12:20 against 13:01) collide, and a false repeat would lose a sale.
// Cheaper too: 2,138 instructions against 2,851 for 91 + 261 bytes (callgrind).
std::uint64_t ReplyMatcher::digestOf(QByteArray const& body)
{
    std::uint64_t digest = 14695981039346656037ULL;
    for (const char byte : body)
        digest = (digest ^ static_cast<std::uint8_t>(byte)) * 1099511628211ULL;
    return digest;
}

ReplyMatcher::Decision ReplyMatcher::match(Reply const& reply, InFlight const& inFlight)
{
    if (trusted_ && !holds(reply.number, inFlight)) {
        if (Record* record = recordOf(reply.number)) {
            if (boost::optional<Decision> decided = matchEnded(*record, reply, inFlight))
                return *decided;
        }
    }
    const Decision decision = matchByType(reply, inFlight);
    if (decision.kind == Nobody)
        return nobodyOrContested(decision, reply);
    noteEcho(reply, decision, inFlight);
    return decision;
}

// Under the number of an ended transaction, a reply of its type (an error or
// a rejection too) is decided by what that transaction took; anything else
// goes by its type.
boost::optional<ReplyMatcher::Decision> ReplyMatcher::matchEnded(Record& record, Reply const& reply,
                                                                 InFlight const& inFlight)
{
    if (!reply.anyType && !ZUVATransaction::isReplyOf(record.response.get(), reply.type))
        return boost::none;
    const std::uint64_t digest = digestOf(reply.body);
    if (!record.answered)
        return matchLate(record, reply, digest, inFlight);
    // One that took its reply under another number may not have been answered under its own.
    if (echoShown_ && record.echoed)
        return matchEcho(record, reply, digest, inFlight);
    return matchOneNumber(record, reply, digest, inFlight);
}

// Its late reply is its own unless it approves what the waiting sale asked for
// and the ended one did not. The host hears of one late reply however often
// it comes; until the terminal has shown that it echoes, another reply under
// the number may be the waiting one's, as under an answered one's. The same
// bytes again stay a repeat: a waiting one that they would have answered ends
// with the warning that they may have been its own.
ReplyMatcher::Decision ReplyMatcher::matchLate(Record& record, Reply const& reply, std::uint64_t digest,
                                               InFlight const& inFlight)
{
    const int waiting = waitingFor(reply, inFlight);
    if (record.lateReplySeen) {
        if (!echoShown_ && digest != record.digest && waiting >= 0
            && !amountsTellApart(reply, *inFlight[size_t(waiting)]))
            return takeByType(waiting, inFlight, "its type, under the number of a transaction that had its late reply");
        noteSetAside(reply, inFlight);
        if (digest == record.digest)
            return setAside(Repeat, record, "the same bytes as the reply its number's transaction took");
        return heardOnce(LateReply, record, reply, "its number's transaction ended without its reply");
    }
    if (waiting >= 0 && isWaitingSalesOwn(record, reply, *inFlight[size_t(waiting)])) {
        trusted_ = false;
        return Decision{Taken, waiting, boost::none, "it approves the waiting sale's amount"};
    }
    noteSetAside(reply, inFlight);
    record.digest = digest;
    return heardOnce(LateReply, record, reply, "its number's transaction ended without its reply");
}

// Until the terminal has shown that it echoes, a terminal answering under one
// number cannot be told from one sending again: the waiting transaction of its
// type takes it, as by type alone, and numbers decide nothing from then on.
// An approval of another amount than the waiting sale asked for is the ended
// transaction's all the same.
ReplyMatcher::Decision ReplyMatcher::matchOneNumber(Record& record, Reply const& reply, std::uint64_t digest,
                                                    InFlight const& inFlight)
{
    const int waiting = waitingFor(reply, inFlight);
    if (waiting < 0 || amountsTellApart(reply, *inFlight[size_t(waiting)]))
        return resent(record, reply, digest, inFlight);
    return takeByType(waiting, inFlight, "its type, under the number of a transaction that took its reply");
}

// The taker's own reply, should it come under its own number, is warned of.
ReplyMatcher::Decision ReplyMatcher::takeByType(int waiting, InFlight const& inFlight, char const* why)
{
    trusted_ = false;
    contestedTaker_ = inFlight[size_t(waiting)];
    return Decision{Taken, waiting, boost::none, why};
}

// Once the terminal has shown that it echoes, the reply is its number's
// transaction's, unless it approves what the waiting sale asked for and the
// ended one did not (a counter that fell one behind), or the waiting one is
// a cancellation the reply does not tell apart: it may be answered under the
// cancelled sale's number.
ReplyMatcher::Decision ReplyMatcher::matchEcho(Record& record, Reply const& reply, std::uint64_t digest,
                                               InFlight const& inFlight)
{
    const int waiting = digest == record.digest ? -1 : waitingFor(reply, inFlight);
    if (waiting >= 0) {
        ZUVATransaction const& transaction = *inFlight[size_t(waiting)];
        if (isWaitingSalesOwn(record, reply, transaction)) {
            trusted_ = false;
            return Decision{Taken, waiting, boost::none, "it approves the waiting sale's amount, not its number's"};
        }
        if (!reply.anyType && cancelsAnother(transaction) && !amountsTellApart(reply, transaction))
            return takeByType(waiting, inFlight, "its type, under the number of the sale it may cancel");
    }
    return resent(record, reply, digest, inFlight);
}

// The ended transaction's reply once more: the same bytes are a repeat; other
// bytes a resend stamped anew or a changed answer, which the host hears of once.
ReplyMatcher::Decision ReplyMatcher::resent(Record& record, Reply const& reply, std::uint64_t digest,
                                            InFlight const& inFlight)
{
    noteSetAside(reply, inFlight);
    if (digest == record.digest)
        return setAside(Repeat, record, "the same bytes as the reply its number's transaction took");
    return heardOnce(Resent, record, reply, "another reply of its number's transaction, which took its own");
}

// Under one number a terminal may send several transactions' replies: only
// one that says what the host heard already is a repeat.
ReplyMatcher::Decision ReplyMatcher::heardOnce(Fate fate, Record& record, Reply const& reply, char const* why)
{
    const std::uint64_t gist = gistOf(record, reply);
    if (record.lateReplySeen && gist == record.heardGist)
        return setAside(Repeat, record, "the host heard the same of its number's transaction before");
    record.lateReplySeen = true;
    record.heardGist = gist;
    return setAside(fate, record, why);
}

std::uint64_t ReplyMatcher::gistOf(Record const& record, Reply const& reply)
{
    if (reply.anyType || !record.response)
        return digestOf(reply.body);
    JsonZUVAResponse const& translator = *record.response;
    if (const boost::optional<std::int64_t> approved = quietly([&] { return translator.approvedAmount(reply.body); }))
        return digestOf(QByteArray::number(qint64(*approved)));
    return digestOf(quietly([&] { return translator.describeLateReply(reply.body); }).toUtf8());
}

ReplyMatcher::Decision ReplyMatcher::matchByType(Reply const& reply, InFlight const& inFlight)
{
    const int taker = takerOf(reply.type, trusted_ ? reply.number : kNoNumber, inFlight);
    if (taker < 0)
        return Decision{Nobody, -1, boost::none, "no transaction in flight awaits it"};
    ZUVATransaction const& transaction = *inFlight[size_t(taker)];
    // Number 0 is a reply that leaves its number out; one that another
    // transaction in flight holds may be its refusal of the taker's request.
    if (trusted_ && reply.number != 0 && transaction.expectsReply(reply.type)
        && !transaction.ownsSequenceNumber(reply.number) && !holds(reply.number, inFlight)) {
        trusted_ = false;
        return Decision{Taken, taker, boost::none, "its type, under a number no echo would carry"};
    }
    return Decision{Taken, taker, boost::none, "its type"};
}

int ReplyMatcher::takerOf(QString const& type, InFlight const& inFlight)
{
    int first = -1;
    for (size_t index = 0; index < inFlight.size() && first < 0; ++index) {
        if (inFlight[index]->expectsReply(type))
            first = int(index);
    }
    // An error or a rejection, which no transaction names, is the current one's.
    return first < 0 && !inFlight.empty() ? int(inFlight.size() - 1) : first;
}

int ReplyMatcher::takerOf(QString const& type, int number, InFlight const& inFlight) const
{
    const int first = takerOf(type, inFlight);
    if (first < 0 || number == kNoNumber || !inFlight[size_t(first)]->expectsReply(type))
        return first;
    for (size_t index = size_t(first); index < inFlight.size(); ++index) {
        if (inFlight[index]->expectsReply(type) && inFlight[index]->ownsSequenceNumber(number))
            return int(index);
    }
    return first;
}

int ReplyMatcher::waitingFor(Reply const& reply, InFlight const& inFlight)
{
    const int taker = takerOf(reply.type, inFlight);
    return taker >= 0 && (reply.anyType || inFlight[size_t(taker)]->expectsReply(reply.type)) ? taker : -1;
}

ReplyMatcher::Decision ReplyMatcher::nobodyOrContested(Decision byType, Reply const& reply)
{
    Record* record = recordOf(reply.number);
    if (!record || !record->contested
        || (!reply.anyType && !ZUVATransaction::isReplyOf(record->response.get(), reply.type))
        || digestOf(reply.body) == record->digest)
        return byType;
    return heardOnce(Contested, *record, reply, "under the number of a transaction that took another reply by its type");
}

void ReplyMatcher::noteEcho(Reply const& reply, Decision const& decision, InFlight const& inFlight)
{
    ZUVATransaction const& taker = *inFlight[size_t(decision.taker)];
    if (!trusted_ || echoShown_ || !taker.expectsReply(reply.type) || taker.body.sequenceNumber().value() != reply.number)
        return;
    if (firstEcho_ < 0)
        firstEcho_ = reply.number;
    else if (reply.number != firstEcho_)
        echoShown_ = true;
}

bool ReplyMatcher::holds(int number, InFlight const& inFlight)
{
    return std::any_of(inFlight.begin(), inFlight.end(),
                       [number](ZUVATransaction const* each) { return each->ownsSequenceNumber(number); });
}

ReplyMatcher::Record* ReplyMatcher::recordOf(int number)
{
    if (!inRange(number) || !records_[size_t(number)].transaction)
        return nullptr;
    return &records_[size_t(number)];
}

bool ReplyMatcher::isWaitingSalesOwn(Record const& record, Reply const& reply, ZUVATransaction const& waiting) const
{
    const boost::optional<std::int64_t> approved = approvedAmount(waiting, reply.body);
    return approved && approved == requestedAmount(waiting) && askedOtherThan(record, *approved);
}

// A late one asked for what it kept, an answered one of another family for no
// amount; an answered sale's request is kept only for the last such sale.
bool ReplyMatcher::askedOtherThan(Record const& record, std::int64_t approved) const
{
    if (!record.answered || !record.sale)
        return record.requested != approved;
    if (lastSale_.number != int(&record - records_.data()))
        return false;
    const boost::optional<std::int64_t> asked =
        quietly([&] { return lastSale_.request->requestedAmount(lastSale_.body); });
    return asked && *asked != approved;
}

bool ReplyMatcher::amountsTellApart(Reply const& reply, ZUVATransaction const& waiting)
{
    const boost::optional<std::int64_t> approved = approvedAmount(waiting, reply.body);
    const boost::optional<std::int64_t> requested = requestedAmount(waiting);
    return approved && requested && approved != requested;
}

void ReplyMatcher::noteSetAside(Reply const& reply, InFlight const& inFlight)
{
    // An error or a rejection may be the one's that takes it by its type.
    const int byType = reply.anyType ? takerOf(reply.type, inFlight) : -1;
    for (size_t index = 0; index < inFlight.size(); ++index) {
        ZUVATransaction const* waiting = inFlight[index];
        if ((!waiting->expectsReply(reply.type) && int(index) != byType) || amountsTellApart(reply, *waiting))
            continue;
        const QString facts = quietly([&] { return waiting->response->describeLateReply(reply.body); });
        const QString note = facts.isEmpty() ? reply.type : QStringLiteral("%1 (%2)").arg(reply.type, facts);
        const auto found = std::find_if(setAside_.begin(), setAside_.end(),
                                        [waiting](auto const& entry) { return entry.first == waiting; });
        if (found == setAside_.end())
            setAside_.emplace_back(waiting, note);
        else
            found->second = note;
    }
}

ReplyMatcher::Decision ReplyMatcher::setAside(Fate fate, Record const& record, char const* why) const
{
    return Decision{fate, -1, Ended{record.action, record.response, fate, fate == LateReply && record.reportable}, why};
}

boost::optional<QString> ReplyMatcher::end(ZUVATransaction const& transaction, bool answered, bool reportable)
{
    boost::optional<QString> warning;
    const auto found = std::find_if(setAside_.begin(), setAside_.end(),
                                    [&](auto const& entry) { return entry.first == &transaction; });
    if (found != setAside_.end()) {
        if (!answered) {
            trusted_ = false;
            warning = QStringLiteral("%1 ended without its reply; reply %2, set aside while it waited, may have been "
                                     "its own: ask the terminal for its last transaction")
                          .arg(transaction.action(), found->second);
        }
        setAside_.erase(found);
    }
    const bool contested = &transaction == contestedTaker_;
    if (contested)
        contestedTaker_ = nullptr;
    const int number = transaction.body.sequenceNumber().value();
    const bool sale = answered && transaction.request && transaction.response && transaction.response->carriesAmount();
    if (inRange(number)) {
        if (sale)
            lastSale_ = LastSale{number, transaction.request, transaction.body.data()};
        records_[size_t(number)] = Record{&transaction,
                                          intern(transaction.action()),
                                          transaction.response,
                                          answered,
                                          answered && transaction.echoed(),
                                          reportable,
                                          contested,
                                          sale,
                                          false,
                                          answered ? transaction.replyDigest() : 0,
                                          0,
                                          answered ? boost::none : requestedAmount(transaction)};
    }
    return warning;
}

void ReplyMatcher::answered(ZUVATransaction const& transaction)
{
    // Only while the number is still its own: a freed transaction's address may be reused.
    Record* record = recordOf(transaction.body.sequenceNumber().value());
    if (record && record->transaction == &transaction) {
        record->answered = true;
        record->echoed = transaction.echoed();
        record->digest = transaction.replyDigest();
    }
}

QString const& ReplyMatcher::intern(QString const& action)
{
    const auto found = std::find(actions_.begin(), actions_.end(), action);
    if (found != actions_.end())
        return *found;
    actions_.push_back(action);
    return actions_.back();
}

} // namespace oxa
