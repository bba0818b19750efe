#include "CoreTestKit.h"

#include "simterminal/SimTerminal.h"
#include "support/CertificationLog.h"
#include "support/QtWarnings.h"

#include <gtest/gtest.h>

#include <atomic>
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

// An error incident fails the transaction that sent its number, whatever its
// type, also one set aside by a queueing transaction, which goes on to its own
// reply, and a sale whose result a nested transaction delivers.
TEST_F(ResponseHandlerTest, RejectionErrorIncidentAndUnreadableReplyFailThePendingTransaction)
{
    enum Beside { Alone, SetAside, Nested };
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
        {incidentReply("Re", 6, "2630"), {1, 19}, "", "", SetAside},
        {incidentReply("Rq", 7, "2630"), {1, 19}, "", "", SetAside},
        {incidentReply("Rd", 8, "4400"), {1, 19}, "", "", Nested},
    };
    for (int id = 1; id <= 8; ++id) {
        SCOPED_TRACE(id);
        const auto& row = rows[id - 1];
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
        EXPECT_EQ(results.outcome(id), row.outcome);
        EXPECT_EQ(extraInformation(results.first(id), row.key), row.value);
        if (row.beside == SetAside) {
            EXPECT_EQ(results.count(second.sequence), 0u);
            link->receive(message("Rq", second.sequence));
            EXPECT_EQ(results.outcome(second.sequence), Success);
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
        {"card check reset, then a sale's reply", reset, {2, 30}, true, CardCheck, true, unawaited, nullptr},
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
        ASSERT_TRUE(row.nextSentFirst || sendNext());
        link->receive(message("Ru", next));
        ASSERT_EQ(results.outcome(next), Success);
        EXPECT_EQ(resultSequence(results.first(next)), next);
        reported += row.reported ? 1 : 0;
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
// host reset or closed, takes the first one's approval as its result; its own
// approval is then reported once. Every message is in the certification log.
TEST_F(ResponseHandlerTest, ASaleSentAgainTakesTheFirstOnesApprovalAndItsOwnIsReportedOnce)
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
        ASSERT_TRUE(results.waitFor(again));
        EXPECT_EQ(resultSequence(results.first(again)), first);
        receive(message("Rd", again), 1);
        const QString warning = QString("Reply Rd to Test came after the transaction had failed and was dropped: "
                                        "sequence %1").arg(again);
        EXPECT_TRUE(waitUntil([&] { return warnings.text().contains(warning); })) << warnings.text().toStdString();
        EXPECT_TRUE(waitUntil([&] { return log.text().count("Message received") == received; }))
            << log.text().count("Message received") << " of " << received;
        EXPECT_EQ(warnings.text().count("came after"), row);
        EXPECT_EQ(results.count(first) + results.count(again), 2u);
    }
}

// A sale's own reply claims its result while a clearing transaction takes the
// sale out: the sale gets that result, and no record of it is left behind for
// a later stray sale reply to be reported under. The clearing transaction runs
// on the dispatch thread, or on its caller's when writes never wait.
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
        link->receive(message("Rd", id, {SimTlv::hex("DF26", "000000001234")}));
        EXPECT_TRUE(waitUntil([&] { return warnings.text().count("came while no transaction awaited it") == id / 2 + 1; }))
            << warnings.text().toStdString();
        EXPECT_FALSE(warnings.text().contains("came after")) << warnings.text().toStdString();
        EXPECT_EQ(results.total(), size_t(id + 1));
    }
}

// When full, the record lets its oldest entry go. An error reply finds its
// entry by the number alone, however old.
TEST(UnansweredTransactions, KeepTheNewestWhenFull)
{
    oxa::UnansweredTransactions record;
    std::vector<std::unique_ptr<oxa::ZUVATransaction>> failed;
    for (int sequence = 1; sequence <= int(oxa::UnansweredTransactions::kKept) + 1; ++sequence) {
        TransactionPlan plan;
        plan.sequence = sequence;
        failed.push_back(makeTransaction(plan, {}));
        record.remember(*failed.back());
    }
    const auto byNumber = record.take(3);
    ASSERT_TRUE(bool(byNumber));
    EXPECT_EQ(byNumber->sequenceNumber, 3);
    EXPECT_FALSE(bool(record.take(3)));
    for (int sequence = int(failed.size()); sequence > 1; --sequence) {
        if (sequence == 3)
            continue;
        const auto entry = record.take("Rt", sequence);
        ASSERT_TRUE(bool(entry));
        EXPECT_EQ(entry->sequenceNumber, sequence);
    }
    EXPECT_FALSE(bool(record.take("Rt", 1)));
}

} // namespace
