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
    return matchByType(reply, inFlight);
}

// Under the number of an ended transaction: the reply it took again is a
// repeat; its late reply (its type, an error or a rejection) is its own
// unless it approves what the waiting sale asked for and the ended one did
// not. Anything else goes by its type.
boost::optional<ReplyMatcher::Decision> ReplyMatcher::matchEnded(Record& record, Reply const& reply,
                                                                 InFlight const& inFlight)
{
    const bool late = !record.answered;
    if (late && !reply.anyType && !ZUVATransaction::isReplyOf(record.response.get(), reply.type))
        return boost::none;
    const std::uint64_t digest = digestOf(reply.body);
    if (digest == record.digest && (record.answered || record.lateReplySeen)) {
        noteSetAside(reply, inFlight);
        return setAside(Decision::Repeat, record, "the same bytes as the reply its number's transaction took");
    }
    if (!late)
        return boost::none;
    const int waiting = takerOf(reply.type, inFlight);
    if (waiting >= 0 && isWaitingSalesOwn(record, reply, *inFlight[size_t(waiting)])) {
        trusted_ = false;
        return Decision{Decision::Taken, waiting, boost::none, "it approves the waiting sale's amount"};
    }
    noteSetAside(reply, inFlight);
    record.lateReplySeen = true;
    record.digest = digest;
    return setAside(Decision::LateReply, record, "its number's transaction ended without its reply");
}

ReplyMatcher::Decision ReplyMatcher::matchByType(Reply const& reply, InFlight const& inFlight)
{
    const int taker = takerOf(reply.type, trusted_ ? reply.number : kNoNumber, inFlight);
    if (taker < 0)
        return Decision{Decision::Nobody, -1, boost::none, "no transaction in flight awaits it"};
    ZUVATransaction const& transaction = *inFlight[size_t(taker)];
    // Number 0 is a reply that leaves its number out; one that another
    // transaction in flight holds may be its refusal of the taker's request.
    if (trusted_ && reply.number != 0 && transaction.expectsReply(reply.type)
        && !transaction.ownsSequenceNumber(reply.number) && !holds(reply.number, inFlight)) {
        trusted_ = false;
        return Decision{Decision::Taken, taker, boost::none, "its type, under a number no echo would carry"};
    }
    return Decision{Decision::Taken, taker, boost::none, "its type"};
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

bool ReplyMatcher::isWaitingSalesOwn(Record const& record, Reply const& reply, ZUVATransaction const& waiting)
{
    const boost::optional<std::int64_t> approved = approvedAmount(waiting, reply.body);
    return approved && approved == requestedAmount(waiting) && approved != record.requested;
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

ReplyMatcher::Decision ReplyMatcher::setAside(Decision::Kind kind, Record const& record, char const* why) const
{
    const bool repeat = kind == Decision::Repeat;
    return Decision{kind, -1, Ended{record.action, record.response, !repeat && record.reportable, repeat}, why};
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
    const int number = transaction.body.sequenceNumber().value();
    if (inRange(number)) {
        records_[size_t(number)] =
            Record{&transaction,
                   intern(transaction.action()),
                   transaction.response,
                   answered,
                   reportable,
                   false,
                   answered ? transaction.replyDigest() : 0,
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
