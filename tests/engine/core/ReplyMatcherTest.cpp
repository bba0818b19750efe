#include "CoreTestKit.h"

#include "engine/core/ReplyMatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

using namespace coretest;
using oxa::ReplyMatcher;

namespace {

// What a terminal puts in D1 of each message it writes.
enum class Policy { Echo, None, Zero, Own, Step, StepDelivery, Const, Quote, Prev, Wrap };
enum class Kind { Sale, Info, Cancel, Last, DeliverySale, DeliveryAnswer, Pin };
// Each reply carries something of its own (an identifier), or equal requests
// get replies equal to the byte.
enum class Replies { Distinct, Equal };

const char* replyTypeOf(Kind kind)
{
    switch (kind) {
    case Kind::Info:
        return "Rt";
    case Kind::Last:
        return "Re";
    case Kind::DeliverySale:
        return "CR";
    case Kind::Pin:
        return "Rm";
    default:
        return "Rd";
    }
}

// One connection as a register uses it, one transaction at a time, against
// a terminal of one numbering policy; replies go by the matcher's rule, or by
// their type alone as the reference. Each transaction's result is the request
// whose reply it took, or -1. Counts what reaches the host: results and
// warnings.
class Register {
public:
    Register(Policy policy, bool byTypeAlone, Replies replies = Replies::Distinct)
        : policy_(policy)
        , byTypeAlone_(byTypeAlone)
        , replies_(replies)
        // A counter about to wrap shows what wrapping does within a few requests.
        , nextNumber_(policy == Policy::Wrap ? 97 : 1)
    {
    }

    // One transaction at a time: a sale still without a result is reset first.
    int send(Kind kind, std::int64_t amount = 0, int cancelled = -1)
    {
        if (kind != Kind::DeliveryAnswer && current() >= 0)
            fail(current());
        TransactionPlan plan;
        plan.sequence = nextNumber_;
        nextNumber_ = nextNumber_ % 99 + 1;
        plan.replyType = replyTypeOf(kind);
        plan.amount = amount;
        // The delivery answer carries the sale's outcome, though it asks for no amount.
        plan.carriesAmount = amount != 0 || kind == Kind::DeliveryAnswer;
        plan.cancellation = kind == Kind::Cancel;
        transactions_.push_back(makeTransaction(plan, {}));
        transactions_.back()->actionName = QString::number(int(kind));
        kinds_.push_back(kind);
        cancelled_.push_back(cancelled);
        resultOwner_.push_back(int(transactions_.size() - 1));
        inFlight_.push_back(int(transactions_.size() - 1));
        return int(transactions_.size() - 1);
    }
    int sale(std::int64_t amount) { return send(Kind::Sale, amount); }

    // The terminal answers the request; a sale's reply approves the amount, a
    // PIN entry's says which key ended it. A stamp tells a reply sent anew.
    void reply(int to, std::int64_t approved = 0, std::string const& key = "00", int stamp = 0)
    {
        const Kind kind = kinds_[size_t(to)];
        // What was asked for, as a sale's or a cancellation's service: only equal requests get equal replies.
        std::vector<SimTlv> elements{SimTlv::hex("DF1F", std::to_string(10 + int(kind)))};
        if (replies_ == Replies::Distinct || stamp)
            elements.push_back(SimTlv::hex("DF1E", std::to_string(1000 + to + 100 * stamp)));
        if (approved)
            elements.push_back(amountElement("DF26", approved));
        if (kind == Kind::Pin)
            elements.push_back(SimTlv::hex("DF9426", key));
        const std::string type = kind == Kind::DeliveryAnswer ? "Rd" : replyTypeOf(kind);
        sent_[to] = message(type, numberOf(to), elements).mid(38);
        receive(sent_[to], to);
    }
    void answer(int to) { reply(to, amountOf(to)); }
    // Another reply of its type under the same number: a resend stamped anew,
    // or a changed answer.
    void resend(int to) { reply(to, amountOf(to), "00", ++stamps_); }
    void refuseEntry(int to) { reply(to, 0, "01"); }
    // Refused alike whatever the request: under one number, the same bytes each time.
    void reject(int to)
    {
        sent_[to] = rejection(numberOf(to), "0102").mid(38);
        receive(sent_[to], to, true);
    }
    // The same bytes again.
    void repeat(int to) { receive(sent_.at(to), to); }
    // Reset by the register, or timed out, unless it has ended.
    void fail(int id)
    {
        if (std::find(inFlight_.begin(), inFlight_.end(), id) == inFlight_.end())
            return;
        leave(id);
        if (!byTypeAlone_ && matcher_.end(*transactions_[size_t(id)], false, true))
            ++warnings_;
    }

    int current() const { return inFlight_.empty() ? -1 : inFlight_.back(); }
    // The request whose reply the transaction took, -1 when none.
    int resultOf(int id) const
    {
        const auto found = results_.find(id);
        return found == results_.end() ? -1 : found->second;
    }
    bool isSale(int id) const { return kinds_[size_t(id)] == Kind::Sale || kinds_[size_t(id)] == Kind::Cancel; }
    int count() const { return int(transactions_.size()); }
    bool delivers(int id) const { return kinds_[size_t(id)] != Kind::DeliveryAnswer; }
    int warnings() const { return warnings_; }
    // Approvals and PIN answers the terminal sent that reached the host
    // neither as a result nor as a warning.
    int unheard() const { return unheard_; }

private:
    std::int64_t amountOf(int id) const { return amountIn(transactions_[size_t(id)]->body.data(), "DF50").value_or(0); }

    int numberOf(int to)
    {
        const int own = transactions_[size_t(to)]->body.sequenceNumber().value();
        ++written_;
        switch (policy_) {
        case Policy::Echo:
            return own;
        case Policy::Quote:
            return cancelled_[size_t(to)] >= 0 ? numberOf(cancelled_[size_t(to)]) : own;
        case Policy::None:
        case Policy::Zero:
            return 0;
        case Policy::Const:
            return 1;
        case Policy::Own:
            return (48 + written_) % 99 + 1;
        case Policy::Prev:
            return to > 0 ? transactions_[size_t(to - 1)]->body.sequenceNumber().value() : 0;
        case Policy::Wrap:
            return (96 + counted(to)) % 100;
        default:
            return counted(to);
        }
    }

    // The terminal's own counter, one step per request it answers; the
    // delivery answer's reply may share the sale's number.
    int counted(int to)
    {
        if (policy_ == Policy::StepDelivery && kinds_[size_t(to)] == Kind::DeliveryAnswer)
            return counted(resultOwner_[size_t(to)]);
        const auto found = counter_.find(to);
        if (found != counter_.end())
            return found->second;
        const int number = int(counter_.size()) % 99 + 1;
        counter_[to] = number;
        return number;
    }

    void receive(QByteArray const& body, int origin, bool anyType = false)
    {
        const oxa::ZUVABody parsed(body);
        const ReplyMatcher::Reply reply{parsed.messageTypeId(), parsed.sequenceNumber().value(), anyType, body};
        ReplyMatcher::InFlight view;
        for (int id : inFlight_)
            view.push_back(transactions_[size_t(id)].get());
        int taker = -1;
        bool warned = false;
        if (byTypeAlone_) {
            const int found = ReplyMatcher::takerOf(reply.type, view);
            taker = found >= 0 && (anyType || view[size_t(found)]->expectsReply(reply.type)) ? found : -1;
            warned = taker < 0 && tellsTheHost(reply);
        } else {
            const ReplyMatcher::Decision decision = matcher_.match(reply, view);
            taker = decision.kind == ReplyMatcher::Taken
                            && (anyType || view[size_t(decision.taker)]->expectsReply(reply.type))
                        ? decision.taker
                        : -1;
            warned = warns(decision, reply);
        }
        warnings_ += warned ? 1 : 0;
        if (taker >= 0)
            take(inFlight_[size_t(taker)], reply, origin);
        // The same bytes again, or a second reply of one the host heard of, may stay in the log.
        if (taker >= 0 || warned) {
            heard_.insert(origin);
            heardBytes_.insert(body);
        } else if (tellsTheHost(reply) && !heard_.count(origin) && !heardBytes_.count(body)) {
            ++unheard_;
        }
    }

    // As the response handler does with the matcher's decision.
    static bool warns(ReplyMatcher::Decision const& decision, ReplyMatcher::Reply const& reply)
    {
        switch (decision.kind) {
        case ReplyMatcher::LateReply:
            return decision.ended->reportable || tellsTheHost(reply);
        case ReplyMatcher::Resent:
            return tellsTheHost(reply);
        case ReplyMatcher::Contested:
            return true;
        case ReplyMatcher::Nobody:
            return tellsTheHost(reply);
        default:
            return false;
        }
    }
    // A card charged, or a key pressed on a PIN entry.
    static bool tellsTheHost(ReplyMatcher::Reply const& reply)
    {
        return amountIn(reply.body, "DF26") || reply.type == "Rm";
    }

    void take(int id, ReplyMatcher::Reply const& reply, int origin)
    {
        oxa::ZUVATransaction& transaction = *transactions_[size_t(id)];
        transaction.noteReply(reply.type, ReplyMatcher::digestOf(reply.body), reply.number);
        leave(id);
        matcher_.end(transaction, true, false);
        if (reply.type == "CR") {
            // The register answers the delivery question; the sale's result comes with the answer's reply.
            const int answer = send(Kind::DeliveryAnswer);
            transaction.handOverResult(*transactions_[size_t(answer)]);
            resultOwner_[size_t(answer)] = id;
            return;
        }
        results_[resultOwner_[size_t(id)]] = origin == id ? resultOwner_[size_t(id)] : origin;
    }

    void leave(int id) { inFlight_.erase(std::find(inFlight_.begin(), inFlight_.end(), id)); }

    Policy policy_;
    bool byTypeAlone_;
    Replies replies_;
    ReplyMatcher matcher_;
    int nextNumber_;
    int stamps_ = 0;
    int written_ = 0;
    std::map<int, int> counter_;
    std::vector<std::unique_ptr<oxa::ZUVATransaction>> transactions_;
    std::vector<Kind> kinds_;
    std::vector<int> cancelled_;
    std::vector<int> resultOwner_;
    std::vector<int> inFlight_;
    std::map<int, QByteArray> sent_;
    std::map<int, int> results_;
    std::set<int> heard_;
    std::set<QByteArray> heardBytes_;
    int warnings_ = 0;
    int unheard_ = 0;
};

// A sale reset without a result; the register then asks for the last
// transaction, as the guide says.
void resetAndAsk(Register& r, int sale, bool answered = true)
{
    r.fail(sale);
    const int last = r.send(Kind::Last);
    if (answered)
        r.answer(last);
    else
        r.fail(last);
}

// A sale held and reset; its approval comes while the next sale waits, that
// sale's own just after.
void late(Register& r, std::int64_t held, std::int64_t next)
{
    const int first = r.sale(held);
    r.fail(first);
    const int second = r.sale(next);
    r.answer(first);
    r.answer(second);
}

// A PIN entry refused ("wrong PIN") or a sale answered, then another reply
// of its type under its number while the next one waits.
void stale(Register& r, Kind kind)
{
    const int first = kind == Kind::Pin ? r.send(Kind::Pin) : r.sale(100);
    if (kind == Kind::Pin)
        r.refuseEntry(first);
    else
        r.answer(first);
    const int second = kind == Kind::Pin ? r.send(Kind::Pin) : r.sale(100);
    r.resend(first);
    r.answer(second);
}

using Sequence = std::function<void(Register&)>;

const std::map<std::string, Sequence>& sequences()
{
    static const auto& all = *new std::map<std::string, Sequence>{
        {"plain",
         [](Register& r) {
             for (std::int64_t amount : {100, 200, 300, 400})
                 r.answer(r.sale(amount));
         }},
        {"infofirst",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             for (std::int64_t amount : {100, 200, 300, 400})
                 r.answer(r.sale(amount));
         }},
        {"mixed",
         [](Register& r) {
             for (std::int64_t amount : {100, 200, 300}) {
                 r.answer(r.sale(amount));
                 if (amount < 300)
                     r.answer(r.send(Kind::Info));
             }
         }},
        {"cancel",
         [](Register& r) {
             for (std::int64_t amount : {100, 200}) {
                 const int sale = r.sale(amount);
                 r.answer(sale);
                 r.answer(r.send(Kind::Cancel, amount, sale));
             }
         }},
        {"cancel past others",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             for (std::int64_t amount : {100, 200}) {
                 const int sale = r.sale(amount);
                 r.answer(sale);
                 r.answer(r.send(Kind::Cancel, amount, sale));
             }
         }},
        {"deliv",
         [](Register& r) {
             r.answer(r.sale(100));
             const int delivery = r.send(Kind::DeliverySale, 200);
             r.answer(delivery);
             r.reply(r.current(), 200);
             r.answer(r.sale(300));
             r.answer(r.sale(400));
         }},
        {"behind",
         [](Register& r) {
             r.answer(r.sale(100));
             resetAndAsk(r, r.sale(200));
             r.answer(r.sale(300));
             r.answer(r.sale(400));
         }},
        {"late",
         [](Register& r) {
             late(r, 100, 200);
             r.answer(r.sale(300));
         }},
        {"late, same amounts",
         [](Register& r) {
             late(r, 100, 100);
             r.answer(r.sale(300));
             r.answer(r.sale(400));
         }},
        {"reset2",
         [](Register& r) {
             const int first = r.sale(100);
             r.fail(first);
             const int second = r.sale(200);
             r.answer(first);
             r.fail(second);
             const int third = r.sale(300);
             r.answer(second);
             r.answer(third);
             r.answer(r.sale(400));
         }},
        {"lateinfo",
         [](Register& r) {
             const int first = r.send(Kind::Info);
             r.fail(first);
             const int second = r.send(Kind::Info);
             r.answer(first);
             r.fail(second);
             r.answer(second);
             late(r, 100, 200);
             r.answer(r.sale(300));
         }},
        {"late past info",
         [](Register& r) {
             const int info = r.send(Kind::Info);
             r.fail(info);
             const int first = r.sale(100);
             r.answer(info);
             r.fail(first);
             const int second = r.sale(200);
             r.answer(first);
             r.answer(second);
             r.answer(r.sale(300));
         }},
        {"repeat",
         [](Register& r) {
             const int first = r.sale(100);
             r.answer(first);
             r.repeat(first);
             const int second = r.sale(200);
             r.repeat(first);
             r.answer(second);
             r.answer(r.sale(300));
         }},
        {"reset2 past a sale",
         [](Register& r) {
             r.answer(r.sale(100));
             const int first = r.sale(200);
             r.fail(first);
             const int second = r.sale(300);
             r.answer(first);
             r.fail(second);
             const int third = r.sale(400);
             r.answer(second);
             r.answer(third);
         }},
        {"deliv restamp",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             r.answer(r.send(Kind::DeliverySale, 200));
             const int answer = r.current();
             r.reply(answer, 200);
             const int next = r.sale(200);
             r.resend(answer);
             r.answer(next);
         }},
        {"late twice",
         [](Register& r) {
             const int first = r.sale(100);
             r.fail(first);
             const int second = r.sale(200);
             r.answer(first);
             r.resend(first);
             r.answer(second);
         }},
        {"sameamt",
         [](Register& r) {
             for (int count = 0; count < 5; ++count)
                 r.answer(r.sale(100));
         }},
        {"info2",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             r.answer(r.send(Kind::Info));
         }},
        {"identification first",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             r.answer(r.send(Kind::Info));
             for (std::int64_t amount : {100, 200})
                 r.answer(r.sale(amount));
         }},
        {"sameAAA",
         [](Register& r) {
             r.answer(r.sale(100));
             late(r, 100, 100);
             r.answer(r.sale(100));
             r.answer(r.sale(100));
         }},
        {"restamp at start",
         [](Register& r) {
             const int first = r.sale(101);
             r.answer(first);
             const int second = r.sale(102);
             r.resend(first);
             r.answer(second);
             r.answer(r.sale(103));
         }},
        {"restamp",
         [](Register& r) {
             r.answer(r.sale(100));
             const int first = r.sale(101);
             r.answer(first);
             const int second = r.sale(101);
             r.resend(first);
             r.answer(second);
             r.answer(r.sale(103));
         }},
        {"stale PIN at start", [](Register& r) { stale(r, Kind::Pin); }},
        {"stale PIN",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             r.answer(r.sale(100));
             stale(r, Kind::Pin);
         }},
        {"stale sale at start", [](Register& r) { stale(r, Kind::Sale); }},
        {"stale sale",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             r.answer(r.sale(200));
             stale(r, Kind::Sale);
         }},
        {"pair",
         [](Register& r) {
             r.answer(r.send(Kind::Info));
             int ticket = r.send(Kind::Info);
             r.answer(ticket);
             r.resend(ticket);
             for (int count = 0; count < 4; ++count) {
                 const int next = r.send(Kind::Info);
                 r.resend(ticket);
                 r.answer(next);
                 ticket = next;
             }
         }},
    };
    return all;
}

} // namespace

// Every numbering policy against every selling sequence, for both kinds of
// reply: each transaction that matching by type alone gives its own reply gets
// it; one that type matching gives another's reply gets its own, that one, or
// none; at most one goes without the result that type matching gives it, and
// never without a warning; every approval and PIN answer the terminal sends
// reaches the host.
TEST(ReplyMatcher, EveryNumberingPolicyGetsWhatMatchingByTypeGivesOrBetter)
{
    const std::pair<const char*, Policy> policies[] = {
        {"echo", Policy::Echo},   {"none", Policy::None},          {"zero", Policy::Zero},
        {"own", Policy::Own},     {"step", Policy::Step},          {"stepd", Policy::StepDelivery},
        {"const", Policy::Const}, {"quote", Policy::Quote},        {"prev", Policy::Prev},
        {"wrap", Policy::Wrap},
    };
    for (const Replies replies : {Replies::Distinct, Replies::Equal}) {
        for (const auto& policy : policies) {
            for (const auto& sequence : sequences()) {
                SCOPED_TRACE(std::string(policy.first) + " × " + sequence.first
                             + (replies == Replies::Equal ? ", equal replies" : ""));
                Register byType(policy.second, true, replies);
                Register matched(policy.second, false, replies);
                sequence.second(byType);
                sequence.second(matched);
                int lost = 0;
                for (int id = 0; id < matched.count(); ++id) {
                    if (!matched.delivers(id))
                        continue;
                    SCOPED_TRACE(id);
                    const int reference = byType.resultOf(id);
                    const int result = matched.resultOf(id);
                    if (reference == id)
                        EXPECT_EQ(result, id);
                    else
                        EXPECT_TRUE(result == id || result == reference || result == -1) << result;
                    // A request may time out instead of taking another's reply.
                    lost += result == -1 && reference != -1 ? 1 : 0;
                }
                EXPECT_LE(lost, 1);
                EXPECT_TRUE(lost == 0 || matched.warnings() > 0);
                EXPECT_EQ(matched.unheard(), 0);
            }
        }
    }
}

// An echoing terminal: a reset sale's late approval is never the next sale's
// result, two resets in a row leave the third sale its own, a terminal
// repeating every reply gets one result each with no warning, and once two
// transactions have taken replies under their own numbers no resent or changed
// reply answers another request.
TEST(ReplyMatcher, AnEchoingTerminalKeepsTheGainsOfNumbers)
{
    for (const Policy policy : {Policy::Echo, Policy::Quote}) {
        for (const Replies replies : {Replies::Distinct, Replies::Equal}) {
            for (const char* name : {"late", "reset2", "repeat", "late, same amounts", "late past info", "sameAAA",
                                     "restamp", "stale PIN", "stale sale", "pair", "late twice", "deliv restamp"}) {
                SCOPED_TRACE(std::string(name) + (policy == Policy::Quote ? ", quoting" : ""));
                Register matched(policy, false, replies);
                sequences().at(name)(matched);
                for (int id = 0; id < matched.count(); ++id)
                    EXPECT_TRUE(matched.resultOf(id) == id || matched.resultOf(id) == -1) << id;
                EXPECT_TRUE(std::string(name) != "repeat" || matched.warnings() == 0);
                // One charge, one warning, however often its approval comes.
                EXPECT_TRUE(std::string(name) != "late twice" || matched.warnings() == 1);
            }
        }
    }
}

// A terminal refusing every request alike under one number sends the same
// bytes each time, as an echoing one repeating its refusal does: at most the
// first such refusal is set aside, with a warning as its transaction ends, and
// the later ones reach theirs at once. So too once a reset sale's refusal came
// late.
TEST(ReplyMatcher, AnIdenticalRefusalIsSetAsideOnceAtMost)
{
    const std::map<std::string, Sequence> rows{
        {"refused",
         [](Register& r) {
             for (std::int64_t amount : {100, 200, 300, 400})
                 r.reject(r.sale(amount));
         }},
        {"refused late",
         [](Register& r) {
             const int first = r.sale(100);
             r.fail(first);
             const int second = r.sale(200);
             r.reject(first);
             r.reject(second);
             for (std::int64_t amount : {300, 400})
                 r.reject(r.sale(amount));
         }},
    };
    for (Policy policy : {Policy::Const, Policy::Echo}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(row.first + (policy == Policy::Const ? " under one number" : " by an echo"));
            Register matched(policy, false);
            row.second(matched);
            EXPECT_EQ(matched.resultOf(matched.count() - 1), matched.count() - 1);
            EXPECT_EQ(matched.resultOf(matched.count() - 2), matched.count() - 2);
            int lost = 0;
            for (int id = 0; id < matched.count(); ++id)
                lost += matched.resultOf(id) == -1 ? 1 : 0;
            EXPECT_LE(lost, 2);
            EXPECT_TRUE(lost <= 1 || matched.warnings() > 0);
        }
    }
}

// Two approvals that differ only in neighbouring bytes, a time 12:20 against
// 13:01 in BCD, are two replies: taken for a repeat, the second would be lost.
TEST(ReplyMatcher, RepliesDifferingInNeighbouringBytesHaveTwoDigests)
{
    EXPECT_NE(ReplyMatcher::digestOf(QByteArray::fromHex("9F21031220005A")),
              ReplyMatcher::digestOf(QByteArray::fromHex("9F21031301005A")));
}
