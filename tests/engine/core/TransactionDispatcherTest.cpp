#include "CoreTestKit.h"

#include "engine/core/TransactionDispatcherImpl.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

const ect::ECTError NetworkError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError);
const Outcome TimedOut{5, -1}, Reset{2, 30}, Busy{1, 14}, LinkLost{2, 18};

class DispatcherTest : public ::testing::Test {
protected:
    void send(int id, TransactionPlan plan = TransactionPlan())
    {
        plan.sequence = id;
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
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

TEST_F(DispatcherTest, EachWayOfEndingTheCurrentTransactionEndsItOnceAndCallsTheEndCallback)
{
    link->dispatcher->setOnStartTransactionCallback([this] { ++starts; });
    link->dispatcher->setOnEndTransactionCallback([this] { ++ends; });
    const std::vector<std::pair<std::function<void()>, Outcome>> endings{
        {[] {}, TimedOut},
        {[&] { link->dispatcher->resetTransaction(); }, Reset},
        {[&] { link->dispatcher->reportTransactionError(NetworkError); }, LinkLost},
        {[&] { link->dispatcher->failTransactions(NetworkError, oxa::TransactionDispatcher::kEverySent); }, LinkLost},
        {[&] { link->receive(message("Rt", 5)); }, Success}};
    for (int id = 1; id <= 5 && !HasFailure(); ++id) {
        SCOPED_TRACE(id);
        send(id, with(oxa::Sequential, id == 1 ? 30ms : 5000ms));
        ASSERT_EQ(link->sentSequence(size_t(id - 1)), id);
        endings[size_t(id - 1)].first();
        EXPECT_EQ(results.outcome(id), endings[size_t(id - 1)].second);
        EXPECT_TRUE(waitUntil([&] { return ends == id; }));
    }
    EXPECT_EQ(starts, 5);
    EXPECT_EQ(results.total(), 5u);
}

// A lost message fails its own transaction, set aside or not; a late report
// for a transaction that has ended fails nothing. The end callback comes once
// no transaction, current or set aside, awaits a reply.
TEST_F(DispatcherTest, LostMessageFailsOnlyItsOwnTransaction)
{
    link->dispatcher->setOnEndTransactionCallback([this] { ++ends; });
    send(1);
    send(2, with(oxa::ImmediateQueue, 5000ms, "R2"));
    ASSERT_TRUE(link->out->waitForWrites(2));
    const QByteArray first = link->out->writes()[0];
    EXPECT_TRUE(link->dispatcher->isInFlight(first));
    link->dispatcher->reportMessageError(first, NetworkError);
    EXPECT_EQ(results.outcome(1), LinkLost);
    EXPECT_EQ(ends, 0);
    EXPECT_FALSE(link->dispatcher->isInFlight(first));
    EXPECT_TRUE(link->dispatcher->isInFlight(link->out->writes()[1]));
    link->dispatcher->reportMessageError(first, NetworkError);
    link->receive(message("R2", 2));
    EXPECT_EQ(results.outcome(2), Success);
    EXPECT_EQ(results.total(), 2u);
    EXPECT_TRUE(waitUntil([&] { return ends == 1; }));
}

// A cancellation answered while the sale it set aside still waits: the
// sale's reply is still awaited.
TEST_F(DispatcherTest, TheEndCallbackWaitsForATransactionSetAside)
{
    link->dispatcher->setOnEndTransactionCallback([this] { ++ends; });
    send(1);
    send(2, with(oxa::ImmediateQueue, 5000ms, "R2"));
    ASSERT_TRUE(link->out->waitForWrites(2));
    link->receive(message("R2", 2));
    EXPECT_EQ(results.outcome(2), Success);
    EXPECT_EQ(ends, 0);
    link->receive(message("Rt", 1));
    EXPECT_EQ(results.outcome(1), Success);
    EXPECT_TRUE(waitUntil([&] { return ends == 1; }));
}

// A lost link fails what was sent by the moment of the loss; one sent later
// goes on, and the link's heartbeat stays paused for it.
TEST_F(DispatcherTest, FailingWhatWasSentByAMarkSparesWhatWasSentLater)
{
    link->dispatcher->setOnEndTransactionCallback([this] { ++ends; });
    send(1);
    ASSERT_TRUE(link->out->waitForWrites(1));
    const std::uint64_t mark = link->dispatcher->sentSoFar();
    send(2, with(oxa::ImmediateQueue, 5000ms, "R2"));
    ASSERT_TRUE(link->out->waitForWrites(2));
    link->dispatcher->failTransactions(NetworkError, mark);
    EXPECT_EQ(results.outcome(1), LinkLost);
    EXPECT_EQ(ends, 0);
    link->receive(message("R2", 2));
    EXPECT_EQ(results.outcome(2), Success);
    EXPECT_EQ(results.total(), 2u);
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

TEST_F(DispatcherTest, ReplyRacingTheTimeOutGivesExactlyOneResult)
{
    const int rounds = std::getenv("ZUVA_TEST_SLOW") ? 40 : 200;
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
        ASSERT_TRUE(waitUntil([&] { return link->dispatcher->getPendingTransaction("Rt").isNull(); }));
    }
    link.reset();
    for (int id = 1; id <= rounds; ++id)
        ASSERT_EQ(results.count(id), 1u) << "transaction " << id;
}

} // namespace
