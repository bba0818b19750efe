#include "CoreTestKit.h"

#include "engine/core/TransactionDispatcherImpl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

const ect::ECTError NetworkError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError);
const Outcome TimedOut{5, -1}, Reset{2, 30}, Busy{1, 14}, NoSaleToNest{2, 15}, LinkLost{2, 18};

class DispatcherTest : public ::testing::Test {
protected:
    void send(int id, TransactionPlan plan = TransactionPlan())
    {
        plan.sequence = id;
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
    }

    // Sends a transaction whose result callback, after recording, runs `then`.
    void sendThen(int id, TransactionPlan plan, std::function<void()> then)
    {
        plan.sequence = id;
        auto record = results.callbackFor(id);
        link->dispatcher->dispatch(makeTransaction(plan, [record, then](QJsonDocument document) {
            record(document);
            then();
        }));
    }

    static TransactionPlan with(oxa::TransactionMethod method, std::chrono::milliseconds timeout = 5000ms,
                                QString replyType = "Rt")
    {
        TransactionPlan plan;
        plan.method = method;
        plan.timeout = timeout;
        plan.replyType = replyType;
        return plan;
    }

    int pendingSequence(const QString& replyType) const
    {
        const auto pending = link->dispatcher->getPendingTransaction(replyType);
        return pending.isNull() ? -1 : pending->body.sequenceNumber().value();
    }

    void countEnds()
    {
        link->dispatcher->setOnStartTransactionCallback([this] { ++starts; });
        link->dispatcher->setOnEndTransactionCallback([this] { ++ends; });
    }

    std::atomic<int> starts{0};
    std::atomic<int> ends{0};
    Results results;
    std::unique_ptr<Connection> link{new Connection()};
};

// A second sequential transaction is refused and the first goes on; a clearing one drops the first and is sent.
TEST_F(DispatcherTest, SecondTransactionIsRefusedOrClearsTheOneInFlightByItsMode)
{
    send(1);
    ASSERT_EQ(link->sentSequence(0), 1);
    send(2);
    EXPECT_EQ(results.outcome(2), Busy);
    EXPECT_EQ(link->out->writeCount(), 1u);
    send(3, with(oxa::ImmediateClearQueue));
    EXPECT_EQ(results.outcome(1), Reset);
    ASSERT_EQ(link->sentSequence(1), 3);
    link->receive(message("Rt", 3));
    EXPECT_EQ(results.outcome(3), Success);
    EXPECT_EQ(results.total(), 3u);
}

TEST_F(DispatcherTest, TimeOutResetAndReportedErrorEachEndTheCurrentTransactionOnceAndCallTheEndCallback)
{
    countEnds();
    const std::vector<std::pair<std::function<void()>, Outcome>> endings{
        {[] {}, TimedOut},
        {[&] { link->dispatcher->resetTransaction(); }, Reset},
        {[&] { link->dispatcher->reportTransactionError(NetworkError); }, LinkLost},
        {[&] { link->receive(message("Rt", 4)); }, Success}};
    for (int id = 1; id <= 4; ++id) {
        SCOPED_TRACE(id);
        send(id, with(oxa::Sequential, id == 1 ? 30ms : 5000ms));
        ASSERT_EQ(link->sentSequence(size_t(id - 1)), id);
        endings[size_t(id - 1)].first();
        EXPECT_EQ(results.outcome(id), endings[size_t(id - 1)].second);
        EXPECT_TRUE(waitUntil([&] { return ends == id; }));
    }
    EXPECT_EQ(starts, 4);
    EXPECT_EQ(results.total(), 4u);
}

// A lost message fails its own transaction, set aside or not; a late report
// for a transaction that has ended fails nothing.
TEST_F(DispatcherTest, LostMessageFailsOnlyItsOwnTransaction)
{
    send(1);
    send(2, with(oxa::ImmediateQueue, 5000ms, "R2"));
    ASSERT_TRUE(link->out->waitForWrites(2));
    const QByteArray first = link->out->writes()[0];
    EXPECT_TRUE(link->dispatcher->isInFlight(first));
    link->dispatcher->reportMessageError(first, NetworkError);
    EXPECT_EQ(results.outcome(1), LinkLost);
    EXPECT_FALSE(link->dispatcher->isInFlight(first));
    EXPECT_TRUE(link->dispatcher->isInFlight(link->out->writes()[1]));
    link->dispatcher->reportMessageError(first, NetworkError);
    link->receive(message("R2", 2));
    EXPECT_EQ(results.outcome(2), Success);
    EXPECT_EQ(results.total(), 2u);
}

TEST_F(DispatcherTest, FailingAllEndsCurrentAndSetAsideTransactionsBeforeItReturns)
{
    countEnds();
    send(1, with(oxa::Sequential, 5000ms, "Rs"));
    send(2, with(oxa::ImmediateQueue));
    ASSERT_EQ(link->sentSequence(1), 2);
    link->dispatcher->failTransactions(NetworkError);
    for (int id : {1, 2}) {
        ASSERT_EQ(results.count(id), 1u) << "transaction " << id;
        EXPECT_EQ(causeCode(results.first(id)), 18);
    }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(pendingSequence("Rs"), -1);

    // From a result callback on the dispatch thread itself it runs at once.
    sendThen(3, with(oxa::Sequential, 20ms), [&] {
        link->dispatcher->failTransactions(ect::ECTError(ect::ECTErrorCode::Technical_Issue));
        EXPECT_EQ(results.count(4), 1u);
    });
    send(4, with(oxa::ImmediateQueue, 60000ms, "Rq"));
    EXPECT_EQ(results.outcome(3).first, 5);
    EXPECT_EQ(results.outcome(4).first, 2);
    EXPECT_EQ(results.total(), 4u);
}

TEST_F(DispatcherTest, QueueingModeSetsTheCurrentTransactionAsideAndRepliesFindTheirOwner)
{
    send(1, with(oxa::Sequential, 5000ms, "Rs"));
    ASSERT_EQ(link->sentSequence(0), 1);
    send(2, with(oxa::ImmediateQueue));
    ASSERT_EQ(link->sentSequence(1), 2);
    EXPECT_EQ(pendingSequence("Rs"), 1);
    EXPECT_EQ(pendingSequence("Rx"), 2);

    link->receive(message("Rs", 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(results.first(1).object()["result"].toObject()["type"].toString(), "Rs");
    EXPECT_TRUE(waitUntil([&] { return pendingSequence("Rs") == 2; }));
    link->receive(message("Rt", 2));
    EXPECT_EQ(results.outcome(2), Success);
    EXPECT_TRUE(waitUntil([&] { return pendingSequence("Rt") == -1; }));
}

TEST_F(DispatcherTest, AmongTransactionsExpectingTheSameTypeTheReplysSequenceNumberDecides)
{
    send(1, with(oxa::Sequential, 5000ms, "Ro"));
    send(2, with(oxa::ImmediateQueue, 5000ms, "Ro"));
    ASSERT_EQ(link->sentSequence(1), 2);
    link->receive(message("Ro", 2));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(results.count(1), 0u);
    // A sequence number nobody sent falls back to the oldest set-aside one.
    link->receive(message("Ro", 7));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(resultSequence(results.first(1)), 7);
    ASSERT_TRUE(waitUntil([&] { return pendingSequence("Ro") == -1; }));

    // A sale set aside while it awaits the delivery question still takes the sale reply "Rd".
    send(3, with(oxa::Sequential, 5000ms, "CR"));
    send(4, with(oxa::ImmediateQueue));
    ASSERT_EQ(link->sentSequence(3), 4);
    EXPECT_EQ(pendingSequence("Rd"), 3);
}

TEST_F(DispatcherTest, SuspendedTransactionKeepsItsOwnTimeOut)
{
    send(1, with(oxa::Sequential, 40ms));
    send(2, with(oxa::ImmediateQueue, 60000ms));
    EXPECT_EQ(results.outcome(1), TimedOut);
    EXPECT_EQ(results.count(2), 0u);
    link->dispatcher->resetTransaction();
    EXPECT_EQ(results.outcome(2), Reset);
}

TEST_F(DispatcherTest, TimeOutOfZeroNegativeOrBeyond32BitsIsNeitherImmediateNorLost)
{
    int id = 0;
    for (const auto timeout : {0ms, -1000ms, 3000000000ms, std::chrono::milliseconds::max()}) {
        SCOPED_TRACE(timeout.count());
        const int outer = ++id;
        const int probe = ++id;
        send(outer, with(oxa::Sequential, timeout));
        // The probe sets the outer transaction aside; it times out long before the outer one may.
        send(probe, with(oxa::ImmediateQueue, 50ms, "Rp"));
        EXPECT_EQ(results.outcome(probe), TimedOut);
        EXPECT_EQ(results.count(outer), 0u);
        link->receive(message("Rt", outer));
        EXPECT_EQ(results.outcome(outer), Success);
    }
}

TEST(DispatcherTimeOut, WithoutOneOfItsOwnATransactionWaits45Seconds)
{
    const struct {
        std::chrono::milliseconds given, used;
    } rows[] = {{0ms, 45000ms}, {-1000ms, 45000ms}, {5000ms, 5000ms},
                {std::chrono::milliseconds::max(), std::chrono::hours(24 * 365)}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given.count());
        oxa::ZUVATransaction transaction;
        transaction.timeout = row.given;
        EXPECT_EQ(oxa::TransactionDispatcherImpl::timeoutOf(transaction), row.used);
    }
}

TEST_F(DispatcherTest, NestedTransactionTakesOverTheResultOfTheSaleAwaitingItsAnswerAndNeedsOne)
{
    send(1, with(oxa::Sequential, 5000ms, "CR"));
    ASSERT_EQ(link->sentSequence(0), 1);
    send(2, with(oxa::ImmediateNested));
    ASSERT_EQ(link->sentSequence(1), 2);
    link->receive(message("Rt", 2));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(resultSequence(results.first(1)), 2);
    EXPECT_EQ(results.count(2), 0u);
    ASSERT_TRUE(waitUntil([&] { return pendingSequence("Rt") == -1; }));

    // Without a sale awaiting it, idle or behind another transaction, it is refused and not sent.
    send(3, with(oxa::ImmediateNested));
    EXPECT_EQ(results.outcome(3), NoSaleToNest);
    send(4);
    ASSERT_EQ(link->sentSequence(2), 4);
    send(5, with(oxa::ImmediateNested));
    EXPECT_EQ(results.outcome(5), NoSaleToNest);
    link->receive(message("Rt", 4));
    EXPECT_EQ(results.outcome(4), Success);
    EXPECT_EQ(link->out->writeCount(), 3u);
}

TEST_F(DispatcherTest, RefusedWriteFailsTheTransactionWithNetworkErrorAndTheNextOneIsSent)
{
    countEnds();
    link->out->setRefusing(true);
    send(1);
    EXPECT_EQ(results.outcome(1), LinkLost);
    EXPECT_TRUE(waitUntil([&] { return ends == 1; }));
    link->out->setRefusing(false);
    send(2);
    EXPECT_EQ(link->sentSequence(0), 2);
}

TEST_F(DispatcherTest, DestructionFailsCurrentSuspendedAndUnstartedTransactionsWithNetworkError)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> startsSeen{0};
    link->dispatcher->setOnStartTransactionCallback([&] {
        if (++startsSeen == 3)
            released.wait();
    });
    send(1);
    send(2, with(oxa::ImmediateQueue, 5000ms, "R2"));
    send(3, with(oxa::ImmediateQueue, 5000ms, "R3"));
    ASSERT_TRUE(waitUntil([&] { return startsSeen == 3; }));
    // The dispatch thread is held inside the third send: these wait unstarted.
    send(4, with(oxa::ImmediateQueue, 5000ms, "R4"));
    send(5, with(oxa::ImmediateQueue, 5000ms, "R5"));

    std::thread destroyer([&] { link.reset(); });
    release.set_value();
    destroyer.join();
    for (int id = 1; id <= 5; ++id) {
        ASSERT_EQ(results.count(id), 1u) << "transaction " << id;
        EXPECT_EQ(results.outcome(id), LinkLost) << "transaction " << id;
    }
}

TEST_F(DispatcherTest, ReplyRacingTheTimeOutGivesExactlyOneResult)
{
    const int rounds = std::getenv("ZUVA_TEST_SLOW") ? 40 : 200;
    int replies = 0;
    for (int id = 1; id <= rounds; ++id) {
        const auto timeout = std::chrono::milliseconds(3 + id % 5);
        send(id, with(oxa::Sequential, timeout));
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_TRUE(link->out->waitForWrites(size_t(id)));
        // Aim the reply at the moment the timer fires, give or take a millisecond.
        const auto aim = sent + timeout + std::chrono::microseconds((id % 7 - 3) * 300);
        while (std::chrono::steady_clock::now() < aim) {
        }
        link->receive(message("Rt", id % 100));
        ASSERT_TRUE(results.waitFor(id));
        // Let any late second result arrive before judging: the close (or the
        // time-out) must have finished on the dispatch thread.
        ASSERT_TRUE(waitUntil([&] { return pendingSequence("Rt") == -1; }));
        replies += isResult(results.first(id)) ? 1 : 0;
    }
    link.reset();
    for (int id = 1; id <= rounds; ++id)
        ASSERT_EQ(results.count(id), 1u) << "transaction " << id;
    RecordProperty("repliesWon", replies);
}

} // namespace
