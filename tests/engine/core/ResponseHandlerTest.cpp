#include "CoreTestKit.h"

#include "engine/core/JsonTransactionRequestHandler.h"
#include "simterminal/SimTerminal.h"
#include "support/CertificationLog.h"
#include "support/QtWarnings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>


using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

class ResponseHandlerTest : public ::testing::Test {
protected:
    // Sends a transaction and waits until it is written.
    void send(int id, QString replyType = "Rt")
    {
        TransactionPlan plan;
        plan.sequence = id;
        plan.replyType = replyType;
        const size_t before = link->out->writeCount();
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
        ASSERT_TRUE(link->out->waitForWrites(before + 1));
    }

    // Waits until the dispatcher has let go of every transaction.
    bool idle() { return waitUntil([&] { return link->dispatcher->getPendingTransaction("Rt").isNull(); }); }

    Results results;
    std::unique_ptr<Connection> link{new Connection()};
};

TEST_F(ResponseHandlerTest, MessagesAreCutWhateverTheReadsLookLikeAndStrayBytesAreSkipped)
{
    // Header alone, then the body byte by byte.
    send(1);
    const QByteArray reply = message("Rt", 1);
    link->receive(reply.left(38));
    for (int i = 38; i < reply.size(); ++i)
        link->receive(reply.mid(i, 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(resultSequence(results.first(1)), 1);
    ASSERT_TRUE(idle());

    // A cut-off header and junk, then a message whose start marker is split over two reads.
    send(2);
    link->receive(toQ(testsupport::SimMessage::frame({})).left(10) + QByteArray(50, 'Z') + "xM");
    link->receive(QByteArray("C") + message("Rt", 2).mid(2));
    EXPECT_EQ(results.outcome(2), Success);
    ASSERT_TRUE(idle());

    // In one read: garbage, an unreadable body, a notification its translator cannot read, an
    // unsolicited message, a notification and the reply; only the last two count.
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
    send(3);
    link->receive(toQ(testsupport::SimTerminal::garbage()) + messageWithUnreadableBody()
                  + message("Cy", 8, {SimTlv::hex("DF02", "01")}) + message("Zz", 3) + message("Cy", 9)
                  + message("Rt", 3));
    ASSERT_TRUE(results.waitFor(3));
    EXPECT_EQ(resultSequence(results.first(3)), 3);
    ASSERT_EQ(link->notifications.total(), 1u);
    EXPECT_EQ(resultSequence(link->notifications.first(0)), 9);
    EXPECT_EQ(results.total(), 3u);
}

// A message cut short whose header announces the most a header can, then
// thousands of one-byte frames that could each begin a message: each frame
// costs about as much as the one before, and the reply after them is read.
TEST_F(ResponseHandlerTest, AMessageCutShortCostsNoMoreThanItsFrames)
{
    testsupport::QtWarnings warnings;
    send(1);
    QByteArray header = message("Rt", 9).left(38);
    header[36] = char(0x99);
    header[37] = char(0x99);
    link->receiveFrame(header);
    for (int frame = 0; frame < 9000; ++frame)
        link->receiveFrame("M");
    link->receiveFrame(message("Rt", 1));
    ASSERT_EQ(results.outcome(1), Success);
    EXPECT_EQ(resultSequence(results.first(1)), 1);
    EXPECT_EQ(warnings.text().count("its header announces 9999 body bytes, the frame holds 9000"), 1)
        << warnings.text().toStdString();
}

// A frame like the one before it, under a number that never changes, may be
// a resend or a frame of its own: the frames after it decide, and where none
// do the message is taken once, with a warning. Rows: which frames of an
// event with a ruled field 20 frames wide (in frames of 16 bytes) come; each
// like the one before may be a repeat.
TEST_F(ResponseHandlerTest, AFrameLikeTheOneBeforeIsReadTheWayTheFramesAfterItConfirm)
{
    testsupport::QtWarnings warnings;
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
    const QByteArray event = message("Cy", 9, {SimTlv::hex("DF03", std::string(640, '0'))});
    std::vector<QByteArray> chunks;
    for (int at = 0; at < event.size(); at += 16)
        chunks.push_back(event.mid(at, 16));
    const int last = int(chunks.size()) - 1;
    struct Row {
        const char* name;
        // Chunk index and whether it may be a repeat; -1: the whole event.
        std::vector<std::pair<int, bool>> frames;
        bool warned;
    };
    const Row rows[] = {
        {"a frame resent inside it", {{0, false}, {1, false}, {1, true}}, false},
        {"the frames of its ruled field", {{0, false}}, false},
        {"resent whole, nothing after it", {{-1, false}, {-1, true}}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::pair<int, bool>> frames = row.frames;
        for (int chunk = frames.back().first + 1; frames.back().first >= 0 && chunk <= last; ++chunk)
            frames.emplace_back(chunk, chunks[size_t(chunk)] == chunks[size_t(chunk) - 1]);
        const int warned = warnings.text().count("dropped as a resend");
        const size_t before = link->notifications.total();
        for (const auto& frame : frames) {
            link->in->feedFrame(frame.first < 0 ? event : chunks[size_t(frame.first)], frame.second);
            link->responses->readMessage();
        }
        // A message after it shows what was taken before.
        link->receiveFrame(message("Cy", 10));
        ASSERT_TRUE(link->notifications.waitForTotal(before + 2));
        const auto events = link->notifications.of(0);
        ASSERT_EQ(events.size(), before + 2);
        EXPECT_EQ(resultSequence(events[before]), 9);
        EXPECT_EQ(resultSequence(events[before + 1]), 10);
        EXPECT_EQ(warnings.text().count("dropped as a resend"), warned + (row.warned ? 1 : 0));
    }
}

// An error incident fails the transaction that takes a reply of its type,
// whatever it expects: a set-aside one expecting the type, whatever number the
// error carries, else the current one, also under the set-aside one's number
// (a cancellation refused); the other goes on to its own reply. It fails a
// sale whose result a nested transaction delivers.
TEST_F(ResponseHandlerTest, RejectionErrorIncidentAndUnreadableReplyFailThePendingTransaction)
{
    enum Beside { Alone, FailsQueueing, Nested };
    const struct {
        QByteArray reply;
        Outcome outcome;
        std::string key, value; // an entry of the error's extra information
        Beside beside; // a second transaction is sent before the reply
    } rows[] = {
        {rejection(1, "0102"), {1, 20}, "", "", Alone},
        {incidentReply("Rt", 2, "1234", "Card refused"), {1, 19}, "merchantText", "Card refused", Alone},
        {incidentReply("Rt", 3, "0001"), Success, "", "", Alone}, // "0000" and "0001" are successes
        {message("Rt", 4, {SimTlv::hex("DF02", "01")}), {2, 16}, "reason", "unreadable reply", Alone},
        {incidentReply("Re", 5, "2630", "Refused"), {1, 19}, "merchantText", "Refused", Alone},
        {incidentReply("Re", 6, "2630"), {1, 19}, "", "", FailsQueueing},
        {incidentReply("Rq", 7, "2630"), {1, 19}, "", "", FailsQueueing},
        {incidentReply("Rd", 8, "4400"), {1, 19}, "", "", Nested},
    };
    int id = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(++id);
        send(id, row.beside == Nested ? "CR" : "Rt");
        TransactionPlan second;
        second.sequence = id + 50;
        second.requestType = row.beside == Nested ? "RR" : "Cq";
        second.replyType = row.beside == Nested ? "Rd" : "Rq";
        second.method = row.beside == Nested ? oxa::ImmediateNested : oxa::ImmediateQueue;
        if (row.beside != Alone) {
            const size_t written = link->out->writeCount();
            link->dispatcher->dispatch(makeTransaction(second, results.callbackFor(second.sequence)));
            ASSERT_TRUE(link->out->waitForWrites(written + 1));
        }
        link->receive(row.reply);
        const bool queueingFails = row.beside == FailsQueueing;
        const int failed = queueingFails ? second.sequence : id;
        EXPECT_EQ(results.outcome(failed), row.outcome);
        EXPECT_EQ(extraInformation(results.first(failed), row.key), row.value);
        if (queueingFails) {
            EXPECT_EQ(results.count(id), 0u);
            link->receive(message("Rt", id));
            EXPECT_EQ(results.outcome(id), Success);
        }
        ASSERT_TRUE(idle());
    }
    EXPECT_EQ(results.first(1).object()["error"].toObject()["rejectionCode"].toObject()["code"].toString(), "0102");
    EXPECT_EQ(results.first(5).object()["error"].toObject()["incidentCode"].toObject()["code"].toString(), "2630");
    EXPECT_EQ(results.total(), 10u);
}

// The terminal may carry out a transaction that failed for want of its reply,
// or a sale the host ended (it is told nothing), and answer later; the host
// hears of that reply once, and nothing else changes. A display operation the
// host ended is not its business. A late sale reply is no other transaction's.
// A sale's reply that finds no failed transaction (sent by another process,
// say) is reported too; not a card check's of the same type, which holds no amount.
// A late error incident is known by its number, whatever its type, and fails nothing.
TEST_F(ResponseHandlerTest, AReplyAfterItsTransactionFailedIsReportedOnceAndChangesNothing)
{
    testsupport::QtWarnings warnings;
    const auto reports = [&] { return warnings.text().count("and was dropped"); };
    const ect::ECTError networkError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError);
    const auto reset = [&] { link->dispatcher->resetTransaction(); };
    const char* const failedOne = "to Test came after the transaction had failed";
    const char* const unawaited = "came while no transaction awaited it";
    enum Kind { Other, Sale, CardCheck }; // a sale's or a card check's reply is "Rd"
    const struct {
        const char* ending;
        std::function<void()> fail;
        Outcome outcome;
        bool nextSentFirst; // the host's next transaction is in flight when the reply comes
        Kind kind;
        bool amount; // the reply holds an amount
        const char* reported;
        const char* lateError; // the reply is an error incident of this type instead of its own
    } rows[] = {
        {"time-out", [] {}, {5, -1}, false, Other, false, failedOne, nullptr},
        {"lost frame", [&] { link->dispatcher->reportMessageError(link->out->writes().back(), networkError); }, {2, 18},
         true, Other, false, failedOne, nullptr},
        {"lost link", [&] { link->dispatcher->failTransactions(networkError, link->dispatcher->sentSoFar()); }, {2, 18},
         false, Other, false, failedOne, nullptr},
        {"link failure", [&] { link->dispatcher->reportTransactionError(networkError); }, {2, 18}, true, Other, false,
         failedOne, nullptr},
        {"reset", reset, {2, 30}, true, Other, false, nullptr, nullptr},
        {"reset, idle", reset, {2, 30}, false, Other, false, nullptr, nullptr},
        {"sale reset", reset, {2, 30}, true, Sale, true, failedOne, nullptr},
        {"sale reset, idle", reset, {2, 30}, false, Sale, true, failedOne, nullptr},
        {"card check reset, idle", reset, {2, 30}, false, CardCheck, false, nullptr, nullptr},
        {"card check reset, then a sale's reply", reset, {2, 30}, true, CardCheck, true,
         "came while Test awaited a reply of type Ru", nullptr},
        {"card check reset, then a sale's reply, idle", reset, {2, 30}, false, CardCheck, true, unawaited, nullptr},
        {"time-out, then an error of another type", [] {}, {5, -1}, true, Other, false, failedOne, "Re"},
        {"time-out, then an error of another type, idle", [] {}, {5, -1}, false, Other, false, failedOne, "Re"},
        {"time-out, then an error of the next one's type", [] {}, {5, -1}, true, Other, false, failedOne, "Ru"},
    };
    int failed = 0;
    int reported = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ending);
        const int id = ++failed;
        TransactionPlan plan;
        plan.sequence = id;
        plan.timeout = row.outcome.first == 5 ? 30ms : 5000ms;
        plan.replyType = row.kind == Other ? "Rt" : "Rd";
        plan.carriesAmount = row.kind == Sale;
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
        ASSERT_TRUE(link->out->waitForWrites(size_t(2 * id - 1)));
        row.fail();
        ASSERT_EQ(results.outcome(id), row.outcome);

        const int next = id + 50;
        TransactionPlan nextPlan;
        nextPlan.sequence = next;
        nextPlan.replyType = "Ru";
        const auto sendNext = [&] {
            link->dispatcher->dispatch(makeTransaction(nextPlan, results.callbackFor(next)));
            return link->out->waitForWrites(size_t(2 * id));
        };
        ASSERT_TRUE(!row.nextSentFirst || sendNext());
        // Stray and unsolicited messages are not reported; the reply is, once.
        const QString replyType = row.lateError ? QString(row.lateError) : plan.replyType;
        const QByteArray reply = row.lateError ? incidentReply(row.lateError, id, "2630")
                                               : message(plan.replyType.toStdString(), id,
                                                         row.amount ? std::vector<SimTlv>{SimTlv::hex("DF26", "000000001234")}
                                                                    : std::vector<SimTlv>());
        link->receive(message("Zz", id) + reply);
        reported += row.reported ? 1 : 0;
        // A report names what waited: none yet, when idle.
        ASSERT_TRUE(row.nextSentFirst || waitUntil([&] { return reports() == reported; }));
        ASSERT_TRUE(row.nextSentFirst || sendNext());
        link->receive(message("Ru", next));
        ASSERT_EQ(results.outcome(next), Success);
        EXPECT_EQ(resultSequence(results.first(next)), next);
        EXPECT_EQ(reports(), reported) << warnings.text().toStdString();
        EXPECT_TRUE(!row.reported
                    || warnings.text().contains(QString("Reply %1 %2 and was dropped: %3")
                                                    .arg(replyType, row.reported,
                                                         row.lateError ? QString("incident 2630")
                                                                       : QString("sequence %1").arg(id))))
            << warnings.text().toStdString();
        EXPECT_EQ(results.count(id), 1u);
        ASSERT_EQ(results.total(), size_t(2 * id));
        ASSERT_TRUE(idle());
    }
}

// A sale sent again while the terminal still holds the first one, which the
// host reset or closed, gets its own approval; the first one's is reported
// once. Every message is in the certification log.
TEST_F(ResponseHandlerTest, ASaleSentAgainGetsItsOwnApprovalAndTheFirstOnesIsReportedOnce)
{
    const testsupport::CertificationLog log;
    testsupport::QtWarnings warnings;
    int received = 0;
    const auto receive = [&](const QByteArray& replies, int count) {
        link->receive(replies);
        received += count;
    };
    const auto close = [&](int id) {
        TransactionPlan plan;
        plan.requestType = "Cl";
        plan.replyType = "Rl";
        plan.sequence = id;
        plan.method = oxa::ImmediateClearQueue;
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
        ASSERT_TRUE(link->out->waitForWrites(2));
        receive(message("Rl", id), 1);
        ASSERT_EQ(results.outcome(id), Success);
    };
    const struct {
        const char* ending;
        std::function<void(int)> end;
    } rows[] = {
        {"reset", [&](int) { link->dispatcher->resetTransaction(); }},
        {"close", close},
    };
    int row = 0;
    for (const auto& ending : rows) {
        SCOPED_TRACE(ending.ending);
        link.reset(new Connection());
        const int first = 10 * ++row;
        const int again = first + 1;
        TransactionPlan sale;
        sale.replyType = "Rd";
        sale.carriesAmount = true;
        sale.sequence = first;
        link->dispatcher->dispatch(makeTransaction(sale, results.callbackFor(first)));
        ASSERT_TRUE(link->out->waitForWrites(1));
        ending.end(first + 5);
        ASSERT_EQ(results.outcome(first), std::make_pair(2, 30));
        ASSERT_TRUE(idle());

        sale.sequence = again;
        const size_t written = link->out->writeCount();
        link->dispatcher->dispatch(makeTransaction(sale, results.callbackFor(again)));
        ASSERT_TRUE(link->out->waitForWrites(written + 1));
        receive(message("Rd", first), 1);
        receive(message("Rd", again), 1);
        ASSERT_TRUE(results.waitFor(again));
        EXPECT_EQ(resultSequence(results.first(again)), again);
        const QString warning = QString("Reply Rd to Test came after the transaction had failed and was dropped: "
                                        "sequence %1").arg(first);
        EXPECT_TRUE(waitUntil([&] { return warnings.text().contains(warning); })) << warnings.text().toStdString();
        EXPECT_TRUE(waitUntil([&] { return log.text().count("Message received") == received; }))
            << log.text().count("Message received") << " of " << received;
        EXPECT_EQ(warnings.text().count("came after"), row);
        EXPECT_EQ(results.count(first) + results.count(again), 2u);
    }
}

// Which transaction each reply goes to, step by step over one connection.
// While the terminal answers under its requests' numbers, a reply under the
// number of a transaction that ended without its reply is that one's late
// reply, reported, unless it approves the waiting sale's amount and not the
// ended one's; the bytes an ended transaction took, again, are a repeat,
// logged only. Any other reply, error or rejection goes to the set-aside
// transaction expecting its type, else the current one; the number decides
// between several. A terminal that shows it numbers replies otherwise (a
// reply of the taker's type under a number neither 0 nor in flight, or a
// transaction unanswered past a reply set aside that may have been its own)
// has them matched by type alone. A delivery answer goes to the sale whose question it answers, set
// aside or not, and that sale ends with the terminal's reply to it.
TEST_F(ResponseHandlerTest, EachReplyGoesToItsOwnTransaction)
{
    struct Step {
        enum Kind { Send, Receive, Ask, Reset, Await, Logged } kind;
        TransactionPlan plan;
        QByteArray bytes;
        Outcome outcome;
    };
    const auto plan = [](int id, QString reply, oxa::TransactionMethod method = oxa::Sequential,
                         std::chrono::milliseconds timeout = 5000ms) {
        TransactionPlan made;
        made.sequence = id;
        made.replyType = reply;
        made.method = method;
        made.timeout = timeout;
        made.carriesAmount = reply == "Rd" || reply == "CR";
        made.requestType = method == oxa::ImmediateQueue ? "Cq" : method == oxa::ImmediateNested ? "RR" : "Ct";
        return made;
    };
    const auto sent = [](TransactionPlan made) { return Step{Step::Send, made, {}, {}}; };
    const auto got = [](QByteArray bytes) { return Step{Step::Receive, {}, bytes, {}}; };
    // A delivery question, whose answer goes out before the terminal replies.
    const auto asked = [](int id) { return Step{Step::Ask, {}, message("CR", id), {}}; };
    // Waits until the text is logged.
    const auto logged = [](const char* text) { return Step{Step::Logged, {}, text, {}}; };
    const auto ended = [](int id, Outcome outcome) {
        TransactionPlan which;
        which.sequence = id;
        return Step{Step::Await, which, {}, outcome};
    };
    const Step reset{Step::Reset, {}, {}, {}};
    // A sale asking for the amount in minor units, when not 0.
    const auto sale = [&](int id, std::int64_t amount = 0) {
        TransactionPlan made = plan(id, "Rd");
        made.amount = amount;
        return sent(made);
    };
    const auto cancel = [&](int id) { return sent(plan(id, "Ro", oxa::ImmediateQueue)); };
    const auto deliverySale = [&](int id, int answer) {
        TransactionPlan made = plan(id, "CR");
        made.deliveryAnswer = answer;
        return sent(made);
    };
    // A sale set aside by a cancellation the terminal answers, then fails or
    // approves the sale under the cancellation's number, on the heels of that
    // answer.
    const auto underCancellation = [&](int times, bool approved) {
        std::vector<Step> steps;
        for (int sale = 1; sale < 2 * times; sale += 2) {
            for (const Step& step : {sent(plan(sale, "Rd")), cancel(sale + 1)})
                steps.push_back(step);
            const QByteArray saleReply = approved ? message("Rd", sale + 1, {SimTlv::hex("DF26", "000000000700")})
                                                  : incidentReply("Rd", sale + 1, "2710");
            steps.push_back(got(message("Ro", sale + 1) + saleReply));
            steps.push_back(ended(sale, approved ? Success : Outcome{1, 19}));
        }
        return steps;
    };
    // Each sale answered under its cancellation's number.
    const auto underEach = [](int times) {
        std::map<int, int> numbers;
        for (int id = 1; id <= 2 * times; id += 2)
            numbers[id] = id + 1;
        return numbers;
    };
    const auto eachOutcome = [](int times, Outcome odd, Outcome even) {
        std::map<int, Outcome> outcomes;
        for (int id = 1; id <= 2 * times; ++id)
            outcomes[id] = id % 2 ? odd : even;
        return outcomes;
    };
    const QByteArray approval1 = message("Rd", 1, {SimTlv::hex("DF26", "000000001250")});
    const Outcome ResetByHost{2, 30}, TimedOut{5, -1}, Incident{1, 19}, Rejected{1, 20};
    struct Row {
        Row(const char* name, std::vector<Step> steps, std::map<int, Outcome> outcomes, int reported,
            std::map<int, int> answeredUnder = {}, const char* warning = nullptr)
            : name(name)
            , steps(std::move(steps))
            , outcomes(std::move(outcomes))
            , reported(reported)
            , answeredUnder(std::move(answeredUnder))
            , warning(warning)
        {
        }
        const char* name;
        std::vector<Step> steps;
        std::map<int, Outcome> outcomes; // each transaction's only result; a success is its own reply
        int reported; // late replies the host hears of
        std::map<int, int> answeredUnder; // the number of a success's reply, when not its own
        const char* warning; // what the host is told, when it is told
    };
    const Row rows[] = {
        {"a reset sale's approval",
         {sale(1), reset, ended(1, ResetByHost), sale(2), got(approval1), got(message("Rd", 2))},
         {{1, ResetByHost}, {2, Success}}, 1},
        {"a reset sale's approval repeated",
         {sale(1), reset, ended(1, ResetByHost), sale(2), got(approval1), got(approval1), got(message("Rd", 2))},
         {{1, ResetByHost}, {2, Success}}, 1},
        {"a reset sale's rejection", {sale(1), reset, ended(1, ResetByHost), sale(2), got(rejection(1, "0102")),
                                      got(message("Rd", 2))},
         {{1, ResetByHost}, {2, Success}}, 1},
        {"a reset sale's delivery question", {sent(plan(1, "CR")), reset, ended(1, ResetByHost), sent(plan(2, "CR")),
                                              got(message("CR", 1)), got(message("Rd", 2))},
         {{1, ResetByHost}, {2, Success}}, 1},
        {"a timed-out request's reply", {sent(plan(1, "Rt", oxa::Sequential, 30ms)), ended(1, TimedOut),
                                         sent(plan(2, "Rt")), got(message("Rt", 1)), got(message("Rt", 2))},
         {{1, TimedOut}, {2, Success}}, 1},
        {"a timed-out request's error while a sale runs",
         {sent(plan(1, "Rt", oxa::Sequential, 30ms)), ended(1, TimedOut), sale(2), got(incidentReply("Rd", 1, "2630")),
          got(message("Rd", 2))},
         {{1, TimedOut}, {2, Success}}, 1},
        // Until two transactions took replies under their own numbers, the
        // same bytes under the first's may be the second's from a terminal
        // answering under one number: the second takes them, and its own
        // reply is warned of.
        {"an accepted PIN repeated",
         {sent(plan(1, "Rp")), got(message("Rp", 1)), ended(1, Success), sent(plan(2, "Rp")), got(message("Rp", 1)),
          got(message("Rp", 2))},
         {{1, Success}, {2, Success}}, 1, {{2, 1}}, "its result may be another's"},
        {"a cancellation refused under the sale's number", {sale(1), cancel(2), got(incidentReply("Ro", 1, "2630")),
                                                            ended(2, Incident), got(message("Rd", 1))},
         {{1, Success}, {2, Incident}}, 0},
        {"an error under number 0", {sale(1), got(incidentReply("Rd", 0, "2710"))}, {{1, Incident}}, 0},
        {"a set-aside sale's error under a number never sent",
         {sale(1), cancel(2), got(incidentReply("Rd", 77, "2710")), ended(1, Incident), got(message("Ro", 2))},
         {{1, Incident}, {2, Success}}, 0},
        {"a delivery answer for a sale set aside", {sent(plan(1, "CR")), cancel(2),
                                                    sent(plan(3, "Rd", oxa::ImmediateNested)), got(message("Ro", 2)),
                                                    ended(2, Success), got(message("Rd", 1))},
         {{1, Success}, {2, Success}}, 0},
        {"two cancellations, the number decides", {sale(1), cancel(2), cancel(3), got(incidentReply("Ro", 3, "2630")),
                                                   ended(3, Incident), got(message("Ro", 2)), got(message("Rd", 1))},
         {{1, Success}, {2, Success}, {3, Incident}}, 0},
        {"three cancellations, the number decides",
         {sale(1), cancel(2), cancel(3), cancel(4), got(message("Ro", 3)), ended(3, Success), got(message("Ro", 2)),
          ended(2, Success), got(message("Ro", 4)), ended(4, Success), got(message("Rd", 1))},
         {{1, Success}, {2, Success}, {3, Success}, {4, Success}}, 0},
        {"a timed-out request's late reply while a sale waits is no sign against that sale reset",
         {sent(plan(1, "Rt", oxa::Sequential, 30ms)), ended(1, TimedOut), sale(2, 200), got(message("Rt", 1)), reset,
          ended(2, ResetByHost), sale(3, 300), got(message("Rd", 2, {SimTlv::hex("DF26", "000000000200")})),
          got(message("Rd", 3))},
         {{1, TimedOut}, {2, ResetByHost}, {3, Success}}, 2},
        {"a rejection under a number never sent", {sent(plan(1, "Rt")), got(rejection(77, "0102"))}, {{1, Rejected}},
         0},
        {"a sale's approval under a number never sent",
         {sent(plan(1, "Rt")), got(message("Rd", 77, {SimTlv::hex("DF26", "000000000700")})), got(message("Rt", 1))},
         {{1, Success}}, 1},
        {"a rejection under number 0", {sale(1), cancel(2), got(rejection(0, "0102")), ended(2, Rejected),
                                        got(message("Rd", 1))},
         {{1, Success}, {2, Rejected}}, 0},
        {"a terminal numbering its replies itself",
         {sale(1), got(message("Rd", 50)), ended(1, Success), sale(2), got(message("Rd", 1)), ended(2, Success),
          sent(plan(3, "Rt")), got(message("Rt", 2)), ended(3, Success), sent(plan(4, "Rt")), got(message("Rt", 3))},
         {{1, Success}, {2, Success}, {3, Success}, {4, Success}}, 0, {{1, 50}, {2, 1}, {3, 2}, {4, 3}}},
        {"a terminal numbering its replies itself, its counter meeting a reset sale's number",
         {sale(1), reset, ended(1, ResetByHost), sale(2), got(message("Rd", 50)), ended(2, Success), sale(3),
          got(message("Rd", 1))},
         {{1, ResetByHost}, {2, Success}, {3, Success}}, 0, {{2, 50}, {3, 1}}},
        {"a terminal answering under one number with equal replies",
         {sale(1), got(message("Rd", 1)), ended(1, Success), sale(2), got(message("Rd", 1)), ended(2, Success),
          sale(3), got(message("Rd", 1)), ended(3, Success), sent(plan(4, "Rt")), got(message("Rt", 1))},
         {{1, Success}, {2, Success}, {3, Success}, {4, Success}}, 0, {{2, 1}, {3, 1}, {4, 1}}},
        {"an echoing terminal's sales reset twice",
         {sale(1), reset, ended(1, ResetByHost), sale(2, 200), got(approval1), got(approval1),
          logged("a repeated reply of Test"), reset, ended(2, ResetByHost), sale(3, 300),
          got(message("Rd", 2, {SimTlv::hex("DF26", "000000000700")})), got(message("Rd", 3))},
         {{1, ResetByHost}, {2, ResetByHost}, {3, Success}}, 2},
        {"a terminal one number behind after a reset: the sale that times out past the sale before's reply is lost, "
         "then replies go by their type",
         {sale(1), got(message("Rd", 1)), ended(1, Success), sale(2), reset, ended(2, ResetByHost),
          sent(plan(3, "Rd", oxa::Sequential, 300ms)), got(message("Rd", 2, {SimTlv::hex("DF26", "000000000700")})),
          ended(3, TimedOut), sent(plan(4, "Rd", oxa::Sequential, 300ms)),
          got(message("Rd", 3, {SimTlv::hex("DF26", "000000000800")}))},
         {{1, Success}, {2, ResetByHost}, {3, TimedOut}, {4, Success}}, 1, {{4, 3}},
         "Test ended without its reply; reply Rd (sequence 2), set aside while it waited, may have been its own"},
        {"a terminal one number behind after a reset: the approval of the waiting sale's amount is its own",
         {sale(1, 100), got(message("Rd", 1)), ended(1, Success), sale(2, 200), reset, ended(2, ResetByHost),
          sale(3, 700), got(message("Rd", 2, {SimTlv::hex("DF26", "000000000700")})), ended(3, Success), sale(4, 800),
          got(message("Rd", 3, {SimTlv::hex("DF26", "000000000800")}))},
         {{1, Success}, {2, ResetByHost}, {3, Success}, {4, Success}}, 0, {{3, 2}, {4, 3}}},
        {"a sale set aside, its error under the answered cancellation's number", underCancellation(20, false),
         eachOutcome(20, Incident, Success), 0},
        {"a sale set aside, an approval under the answered cancellation's number: matched by its type",
         underCancellation(20, true), eachOutcome(20, Success, Success), 0, underEach(20)},
        {"an approval under number 0, then a reset sale's approval",
         {sale(1), got(message("Rd", 0)), ended(1, Success), sale(2), reset, ended(2, ResetByHost), sale(3),
          got(message("Rd", 2, {SimTlv::hex("DF26", "000000000700")})), got(message("Rd", 3))},
         {{1, Success}, {2, ResetByHost}, {3, Success}}, 1, {{1, 0}}},
        {"a cancellation refused under the sale's number, then a reset sale's approval",
         {sale(1), cancel(2), got(incidentReply("Ro", 1, "2630")), ended(2, Incident), got(message("Rd", 1)),
          ended(1, Success), sale(3), reset, ended(3, ResetByHost), sale(4),
          got(message("Rd", 3, {SimTlv::hex("DF26", "000000000700")})), got(message("Rd", 4))},
         {{1, Success}, {2, Incident}, {3, ResetByHost}, {4, Success}}, 1},
        // The reset sale's late approval is the same bytes as the first's: one
        // of the two charges is the waiting sale's result, the host hears of the other.
        {"a terminal answering under one number: a sale reset, every sale of one amount",
         {sale(1), got(approval1), ended(1, Success), sale(2), reset, ended(2, ResetByHost), sale(3), got(approval1),
          ended(3, Success), got(approval1)},
         {{1, Success}, {2, ResetByHost}, {3, Success}}, 1, {{3, 1}}, "Reply Rd came while no transaction awaited it"},
        {"two delivery sales: each answer its own sale's",
         {deliverySale(1, 4), cancel(2), got(incidentReply("Ro", 2, "2630")), ended(2, Incident), deliverySale(3, 5),
          asked(1), got(message("Rd", 4)), ended(1, Success), asked(3), got(message("Rd", 5))},
         {{1, Success}, {2, Incident}, {3, Success}}, 0, {{1, 4}, {3, 5}}},
        {"a rejection under an answered transaction's number", {sent(plan(1, "Rt")), got(message("Rt", 1)),
                                                                ended(1, Success), sale(2), got(rejection(1, "0102"))},
         {{1, Success}, {2, Rejected}}, 0},
        // Before two transactions took replies under their own numbers, the
        // same bytes again cannot be told from a one-number terminal's answer
        // to the waiting one: it takes them, as by type alone, and its own
        // reply under its own number is warned of.
        {"an approval repeated", {sale(1), got(approval1), ended(1, Success), sale(2), got(approval1),
                                  ended(2, Success), got(message("Rd", 2))},
         {{1, Success}, {2, Success}}, 1, {{2, 1}}, "its result may be another's"},
        {"a sale's error reply repeated", {sale(1), got(incidentReply("Rd", 1, "2710")), ended(1, Incident), sale(2),
                                           got(incidentReply("Rd", 1, "2710")), ended(2, Incident),
                                           got(message("Rd", 2))},
         {{1, Incident}, {2, Incident}}, 1, {}, "its result may be another's"},
        {"a rejection repeated", {sent(plan(1, "Rt")), got(rejection(1, "0102")), ended(1, Rejected), sale(2),
                                  got(rejection(1, "0102")), ended(2, Rejected), got(message("Rd", 2))},
         {{1, Rejected}, {2, Rejected}}, 1, {}, "its result may be another's"},
        // Once two have, the same bytes are a repeat and the waiting one gets its own.
        {"an approval repeated past two echoed numbers",
         {sent(plan(1, "Rt")), got(message("Rt", 1)), ended(1, Success), sale(2),
          got(message("Rd", 2, {SimTlv::hex("DF26", "000000001250")})), ended(2, Success), sale(3),
          got(message("Rd", 2, {SimTlv::hex("DF26", "000000001250")})), logged("a repeated reply of Test"),
          got(message("Rd", 3))},
         {{1, Success}, {2, Success}, {3, Success}}, 0},
        {"a sale's approval while another action waits",
         {sent(plan(1, "Rt")), got(message("Rd", 77, {SimTlv::hex("DF26", "000000000700")})), got(message("Rt", 1))},
         {{1, Success}}, 1, {}, "Reply Rd came while Test awaited a reply of type Rt and was dropped"},
        {"a late rejection", {sent(plan(1, "Rt", oxa::Sequential, 30ms)), ended(1, TimedOut), got(rejection(1, "0102"))},
         {{1, TimedOut}}, 1, {}, "came after the transaction had failed and was dropped: rejection 0102"},
        {"a timed-out request's late reply, then a sale's approval under its number",
         {sent(plan(1, "Rt", oxa::Sequential, 30ms)), ended(1, TimedOut), got(message("Rt", 1)), got(approval1)},
         {{1, TimedOut}}, 2, {}, "Reply Rd came while no transaction awaited it"},
    };
    // A row that fails stops there; the next one runs on a connection of its own.
    const auto run = [&](const std::vector<Step>& steps, Results& own, testsupport::QtWarnings& warnings) {
        for (const Step& step : steps) {
            if (step.kind == Step::Send) {
                const size_t written = link->out->writeCount();
                auto transaction = makeTransaction(step.plan, own.callbackFor(step.plan.sequence));
                if (step.plan.deliveryAnswer)
                    transaction->response =
                        std::make_shared<DeliveryQuestion>(link->dispatcher, 5000ms, step.plan.deliveryAnswer, "Rd");
                link->dispatcher->dispatch(std::move(transaction));
                ASSERT_TRUE(link->out->waitForWrites(written + 1));
            } else if (step.kind == Step::Receive) {
                link->receive(step.bytes);
            } else if (step.kind == Step::Ask) {
                const size_t written = link->out->writeCount();
                link->receive(step.bytes);
                ASSERT_TRUE(link->out->waitForWrites(written + 1));
            } else if (step.kind == Step::Logged) {
                ASSERT_TRUE(waitUntil([&] { return warnings.text().contains(step.bytes); }));
            } else if (step.kind == Step::Reset) {
                link->dispatcher->resetTransaction();
            } else {
                ASSERT_EQ(own.outcome(step.plan.sequence), step.outcome);
            }
        }
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::QtWarnings warnings;
        Results own;
        link.reset(new Connection());
        run(row.steps, own, warnings);
        for (const auto& expected : row.outcomes) {
            SCOPED_TRACE(expected.first);
            EXPECT_EQ(own.outcome(expected.first), expected.second);
            const auto under = row.answeredUnder.find(expected.first);
            EXPECT_TRUE(expected.second != Success
                        || resultSequence(own.first(expected.first))
                               == (under == row.answeredUnder.end() ? expected.first : under->second));
        }
        EXPECT_TRUE(idle());
        EXPECT_EQ(own.total(), row.outcomes.size());
        EXPECT_TRUE(waitUntil([&] { return warnings.text().count("and was dropped") == row.reported; }))
            << warnings.text().toStdString();
        EXPECT_TRUE(!row.warning || warnings.text().contains(row.warning)) << warnings.text().toStdString();
        link.reset();
    }
}

// A sale set aside by a cancellation that the terminal answered still holds
// its number when the counter comes round to it: the next sale goes out under
// another, and each sale's reply is its own.
TEST_F(ResponseHandlerTest, ANumberThatASetAsideSaleHoldsIsNotHandedOutAgain)
{
    const auto handler = oxa::makeJsonTransactionRequestHandler(link->dispatcher);
    const auto add = [&](QString action, std::string requestType, QString replyType, oxa::TransactionMethod method) {
        handler->registerTransaction(action, std::unique_ptr<oxa::JsonTransactionRequest>(new TestRequest(requestType)),
                                     std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse(replyType, true)), method);
    };
    add("Sale", "Ct", "Rd", oxa::Sequential);
    add("Cancel", "Cq", "Ro", oxa::ImmediateQueue);
    add("Info", "Ci", "Rt", oxa::Sequential);
    // Answers the request, which goes out as the n-th message, and returns its number.
    const auto roundTrip = [&](QString action, int id, bool answered) {
        const QJsonObject transaction{{"action", action}, {"timeout", 600}};
        handler->makeTransaction(QJsonDocument(QJsonObject{{"transaction", transaction}}), results.callbackFor(id),
                                 nullptr);
        const int sequence = link->sentSequence(size_t(id - 1));
        if (answered) {
            link->receive(message(action == "Cancel" ? "Ro" : action == "Info" ? "Rt" : "Rd", sequence));
            EXPECT_EQ(results.outcome(id), Success);
        }
        return sequence;
    };
    ASSERT_EQ(roundTrip("Sale", 1, false), 1);
    ASSERT_EQ(roundTrip("Cancel", 2, true), 2);
    for (int id = 3; id <= 99; ++id)
        ASSERT_EQ(roundTrip("Info", id, true), id);
    EXPECT_EQ(roundTrip("Sale", 100, true), 2);
    EXPECT_EQ(resultSequence(results.first(100)), 2);
    EXPECT_EQ(results.count(1), 0u);
    link->receive(message("Rd", 1));
    ASSERT_EQ(results.outcome(1), Success);
    EXPECT_EQ(resultSequence(results.first(1)), 1);
    EXPECT_EQ(results.total(), 100u);
}

// A sale's own reply claims its result while a clearing transaction takes the
// sale out: the sale gets that result, and is recorded as answered, so that a
// later sale reply under its number is a repeat, not reported under it. The
// clearing transaction runs on the dispatch thread, or on its caller's when
// writes never wait.
TEST_F(ResponseHandlerTest, ASaleAnsweredWhileClearedLeavesNoRecordBehind)
{
    testsupport::QtWarnings warnings;
    for (const bool onCallersThread : {false, true}) {
        SCOPED_TRACE(onCallersThread);
        link.reset(new Connection(onCallersThread));
        const int id = onCallersThread ? 3 : 1;
        std::atomic<bool> clearing{false};
        std::thread clearer;
        TransactionPlan sale;
        sale.replyType = "Rd";
        sale.carriesAmount = true;
        sale.sequence = id;
        auto transaction = makeTransaction(sale, results.callbackFor(id));
        // The reply has found the sale; the clearing transaction is written before it is settled.
        transaction->reverseCallback = [&](QJsonDocument) {
            clearer = std::thread([&] {
                TransactionPlan clear;
                clear.requestType = "Cl";
                clear.replyType = "Rl";
                clear.sequence = id + 1;
                clear.method = oxa::ImmediateClearQueue;
                link->dispatcher->dispatch(makeTransaction(clear, results.callbackFor(id + 1)));
            });
            EXPECT_TRUE(waitUntil([&] { return clearing.load(); }));
            return QJsonDocument();
        };
        link->dispatcher->dispatch(std::move(transaction));
        ASSERT_TRUE(link->out->waitForWrites(1));
        link->out->setForward([&](const QByteArray&) {
            clearing = true;
            EXPECT_TRUE(results.waitFor(id));
        });
        link->receive(message("Rd", id));
        EXPECT_EQ(results.outcome(id), Success);
        clearer.join();
        ASSERT_TRUE(waitUntil([&] { return warnings.text().count("a late error dropped") == id / 2 + 1; }));
        // The clearing transaction's result comes after the sale's settling
        // has ended on the dispatch thread, the warning above only during it.
        link->receive(message("Rl", id + 1));
        ASSERT_TRUE(results.waitFor(id + 1));
        EXPECT_EQ(results.outcome(id + 1), Success);
        link->receive(message("Rd", id));
        EXPECT_TRUE(waitUntil([&] { return warnings.text().count("a repeated reply of Test") == id / 2 + 1; }))
            << warnings.text().toStdString();
        EXPECT_FALSE(warnings.text().contains("came after")) << warnings.text().toStdString();
        EXPECT_EQ(results.total(), size_t(id + 1));
    }
}

// An ended transaction keeps its number however many others ended since,
// until a newer one ends under it; its late reply is reportable, the same
// bytes again a repeat. Under an answered one's number only its reply's bytes
// again are a repeat; anything else goes by its type.
TEST(ReplyMatcher, KeepsEachNumberUntilItIsSentAgain)
{
    using Decision = oxa::ReplyMatcher::Decision;
    oxa::ReplyMatcher matcher;
    const oxa::ReplyMatcher::InFlight none;
    const auto reply = [](const char* type, int sequence, const std::vector<SimTlv>& elements = {}) {
        return oxa::ReplyMatcher::Reply{type, sequence, false, message(type, sequence, elements).mid(38)};
    };
    const auto rejected = [](int sequence) {
        return oxa::ReplyMatcher::Reply{"Rj", sequence, true, rejection(sequence, "0102").mid(38)};
    };
    std::vector<std::unique_ptr<oxa::ZUVATransaction>> ended;
    for (int sequence = 1; sequence <= 99; ++sequence) {
        TransactionPlan plan;
        plan.sequence = sequence;
        ended.push_back(makeTransaction(plan, {}));
        matcher.end(*ended.back(), false, sequence != 2);
    }
    for (int sequence = 1; sequence <= 99; ++sequence) {
        SCOPED_TRACE(sequence);
        // A stray message under the number is nobody's and uses nothing up.
        EXPECT_EQ(matcher.match(reply("Zz", sequence), none).kind, oxa::ReplyMatcher::Nobody);
        const Decision decision = matcher.match(sequence % 2 ? reply("Rt", sequence) : rejected(sequence), none);
        ASSERT_EQ(decision.kind, oxa::ReplyMatcher::LateReply);
        EXPECT_EQ(decision.ended->reportable, sequence != 2);
    }
    // A number come round again: the transaction in flight under it takes its reply.
    TransactionPlan again;
    again.sequence = 5;
    const std::unique_ptr<oxa::ZUVATransaction> waiting = makeTransaction(again, {});
    EXPECT_EQ(matcher.match(reply("Rt", 5, {SimTlv::hex("DF01", "05")}), {waiting.get()}).kind, oxa::ReplyMatcher::Taken);
    const Decision repeat = matcher.match(reply("Rt", 3), none);
    EXPECT_EQ(repeat.kind, oxa::ReplyMatcher::Repeat);
    EXPECT_STREQ(repeat.why, "the same bytes as the reply its number's transaction took");
    // One late reply a transaction, however often it comes.
    EXPECT_EQ(matcher.match(reply("Rt", 3, {SimTlv::hex("DF01", "01")}), none).kind, oxa::ReplyMatcher::Repeat);
    TransactionPlan newer;
    newer.sequence = 3;
    ended.push_back(makeTransaction(newer, {}));
    ended.back()->noteReply("Rt", oxa::ReplyMatcher::digestOf(reply("Rt", 3).body), 3);
    matcher.end(*ended.back(), true, false);
    EXPECT_EQ(matcher.match(reply("Rt", 3), none).kind, oxa::ReplyMatcher::Repeat);
    EXPECT_EQ(matcher.match(reply("Rt", 3, {SimTlv::hex("DF01", "01")}), none).kind, oxa::ReplyMatcher::Resent);
    // It says something new: the host hears of it too.
    EXPECT_EQ(matcher.match(rejected(3), none).kind, oxa::ReplyMatcher::Resent);
    EXPECT_EQ(matcher.match(rejected(3), none).kind, oxa::ReplyMatcher::Repeat);
    EXPECT_EQ(matcher.match(reply("Rt", 100), none).kind, oxa::ReplyMatcher::Nobody);
    EXPECT_TRUE(matcher.numbersTrusted());
}

} // namespace
