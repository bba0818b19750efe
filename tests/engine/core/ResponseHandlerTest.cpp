#include "CoreTestKit.h"

#include "simterminal/SimTerminal.h"
#include "support/QtWarnings.h"

#include <gtest/gtest.h>


using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

class ResponseHandlerTest : public ::testing::Test {
protected:
    // Sends a transaction and waits until it is written.
    void send(int id)
    {
        TransactionPlan plan;
        plan.sequence = id;
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

TEST_F(ResponseHandlerTest, RejectionErrorIncidentAndUnreadableReplyFailThePendingTransaction)
{
    const struct {
        QByteArray reply;
        Outcome outcome;
        std::string key, value; // an entry of the error's extra information
    } rows[] = {
        {rejection(1, "0102"), {1, 20}, "", ""},
        {incidentReply("Rt", 2, "1234", "Card refused"), {1, 19}, "merchantText", "Card refused"},
        {incidentReply("Rt", 3, "0001"), Success, "", ""}, // "0000" and "0001" are successes
        {message("Rt", 4, {SimTlv::hex("DF02", "01")}), {2, 16}, "reason", "unreadable reply"},
    };
    for (int id = 1; id <= 4; ++id) {
        SCOPED_TRACE(id);
        send(id);
        link->receive(rows[id - 1].reply);
        EXPECT_EQ(results.outcome(id), rows[id - 1].outcome);
        EXPECT_EQ(extraInformation(results.first(id), rows[id - 1].key), rows[id - 1].value);
        ASSERT_TRUE(idle());
    }
    EXPECT_EQ(results.first(1).object()["error"].toObject()["rejectionCode"].toObject()["code"].toString(), "0102");
}

// The terminal may carry out a transaction that failed for want of its reply
// and answer later; the host hears of that reply once, and nothing else
// changes. A transaction the host ended itself is not its business.
TEST_F(ResponseHandlerTest, AReplyAfterItsTransactionFailedIsReportedOnceAndChangesNothing)
{
    testsupport::QtWarnings warnings;
    const auto reports = [&] { return warnings.text().count("came after the transaction had failed"); };
    const ect::ECTError networkError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError);
    const struct {
        const char* ending;
        std::function<void()> fail;
        Outcome outcome;
        bool nextSentFirst; // the host's next transaction is in flight when the reply comes
        bool reported;
    } rows[] = {
        {"time-out", [] {}, {5, -1}, false, true},
        {"lost frame", [&] { link->dispatcher->reportMessageError(link->out->writes().back(), networkError); }, {2, 18},
         true, true},
        {"lost link", [&] { link->dispatcher->failTransactions(networkError, link->dispatcher->sentSoFar()); }, {2, 18}, false, true},
        {"link failure", [&] { link->dispatcher->reportTransactionError(networkError); }, {2, 18}, true, true},
        {"reset", [&] { link->dispatcher->resetTransaction(); }, {2, 30}, true, false},
        {"reset, idle", [&] { link->dispatcher->resetTransaction(); }, {2, 30}, false, false},
    };
    int failed = 0;
    int reported = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ending);
        const int id = ++failed;
        TransactionPlan plan;
        plan.sequence = id;
        plan.timeout = row.outcome.first == 5 ? 30ms : 5000ms;
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
        ASSERT_TRUE(link->out->waitForWrites(size_t(2 * id - 1)));
        row.fail();
        ASSERT_EQ(results.outcome(id), row.outcome);

        const int next = id + 10;
        TransactionPlan nextPlan;
        nextPlan.sequence = next;
        nextPlan.replyType = "Ru";
        const auto sendNext = [&] {
            link->dispatcher->dispatch(makeTransaction(nextPlan, results.callbackFor(next)));
            return link->out->waitForWrites(size_t(2 * id));
        };
        ASSERT_TRUE(!row.nextSentFirst || sendNext());
        // Stray and unsolicited messages are not reported; the reply is, once.
        link->receive(message("Zz", id) + message("Rt", id) + message("Rt", id));
        ASSERT_TRUE(row.nextSentFirst || sendNext());
        link->receive(message("Ru", next));
        ASSERT_EQ(results.outcome(next), Success);
        reported += row.reported ? 1 : 0;
        EXPECT_EQ(reports(), reported);
        EXPECT_EQ(warnings.text().contains(QString("Reply Rt to Test came after the transaction had failed and "
                                                   "was dropped: sequence %1")
                                               .arg(id)),
                  row.reported)
            << warnings.text().toStdString();
        EXPECT_EQ(results.count(id), 1u);
        ASSERT_EQ(results.total(), size_t(2 * id));
        ASSERT_TRUE(idle());
    }
}

} // namespace
