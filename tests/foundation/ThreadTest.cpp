#include "foundation/RunnableProxy.h"
#include "foundation/Thread.h"

#include "tests/support/Wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <vector>

using std::chrono::milliseconds;
using testsupport::waitUntil;
using vorsam::Runnable;
using vorsam::Thread;

namespace {

// Records the order of its life-cycle calls and the threads they ran on.
class RecordingRunnable : public Runnable {
public:
    explicit RecordingRunnable(std::vector<std::string>& journal, std::mutex& journalMutex, std::string name = "")
        : Runnable([this](Runnable&) { record("doTask"); })
        , journal_(journal)
        , journalMutex_(journalMutex)
        , name_(std::move(name))
    {
    }

    void beforeStartTask() override { record("beforeStartTask"); }
    void startTask() override
    {
        record("startTask");
        workerName = QThread::currentThread()->objectName().toStdString();
    }
    void onFinished() override { record("onFinished"); }

    std::string workerName;

private:
    void record(const std::string& step)
    {
        std::lock_guard<std::mutex> lock(journalMutex_);
        journal_.push_back(name_ + step);
    }

    std::vector<std::string>& journal_;
    std::mutex& journalMutex_;
    std::string name_;
};

class ThreadLifeCycle : public ::testing::Test {
protected:
    std::vector<std::string> journal() const
    {
        std::lock_guard<std::mutex> lock(journalMutex_);
        return journal_;
    }
    std::size_t count(const std::string& step) const
    {
        const auto entries = journal();
        return static_cast<std::size_t>(std::count(entries.begin(), entries.end(), step));
    }
    std::unique_ptr<RecordingRunnable> makeRunnable(std::string name = "")
    {
        return std::make_unique<RecordingRunnable>(journal_, journalMutex_, std::move(name));
    }

    mutable std::mutex journalMutex_;
    std::vector<std::string> journal_;
};

} // namespace

TEST_F(ThreadLifeCycle, RunOnceRunsTheTaskOnceAfterStartOnANamedThread)
{
    auto runnable = makeRunnable();
    RecordingRunnable* observed = runnable.get();
    {
        Thread thread("Worker", Thread::RunOnce, std::move(runnable));
        ASSERT_TRUE(waitUntil([&] { return count("doTask") == 1; }));
        EXPECT_TRUE(thread.isRunning());
        EXPECT_EQ(observed->workerName, "Worker");
    }
    EXPECT_EQ(journal(), (std::vector<std::string>{"beforeStartTask", "startTask", "doTask", "onFinished"}));
}

TEST_F(ThreadLifeCycle, PeriodicTaskRepeatsAndNegativeIntervalsNeverRun)
{
    std::atomic<int> periodic{0};
    std::atomic<int> never{0};
    {
        Thread ticking("Ticking", milliseconds(10), [&](Runnable&) { ++periodic; });
        Thread minusTwo("MinusTwo", milliseconds(-2), [&](Runnable&) { ++never; });
        Thread minusFive("MinusFive", milliseconds(-5), [&](Runnable&) { ++never; });
        Thread noInterval("NoInterval");
        noInterval.reset([&](Runnable&) { ++never; });
        Thread emptyTask("EmptyTask", milliseconds(0), std::function<void(Runnable&)>());
        EXPECT_TRUE(waitUntil([&] { return periodic >= 3; }));
        EXPECT_TRUE(noInterval.isRunning());
    }
    EXPECT_EQ(never, 0);
}

TEST_F(ThreadLifeCycle, ResetFinishesTheOldTaskBeforeStartingTheNext)
{
    Thread thread("Resetting", makeRunnable("old:"));
    ASSERT_TRUE(waitUntil([&] { return count("old:startTask") == 1; }));
    thread.reset(Thread::RunOnce, makeRunnable("new:"));
    ASSERT_TRUE(waitUntil([&] { return count("new:doTask") == 1; }));
    const auto entries = journal();
    const auto oldFinished = std::find(entries.begin(), entries.end(), "old:onFinished");
    const auto newPrepared = std::find(entries.begin(), entries.end(), "new:beforeStartTask");
    ASSERT_NE(oldFinished, entries.end());
    EXPECT_LT(oldFinished - entries.begin(), newPrepared - entries.begin());
}

TEST_F(ThreadLifeCycle, ProxyRunsATargetThatSurvivesAndCanRunAgain)
{
    auto target = makeRunnable();
    for (int run = 1; run <= 2; ++run) {
        {
            Thread thread("Proxied", Thread::RunOnce, std::make_unique<vorsam::RunnableProxy>(target.get()));
            ASSERT_TRUE(waitUntil([&] { return count("doTask") == static_cast<std::size_t>(run); }));
            EXPECT_EQ(target->workerName, "Proxied");
            // The target's own stop ends the proxy's thread.
            target->stop();
            EXPECT_TRUE(waitUntil([&] { return !thread.isRunning(); }));
        }
        EXPECT_EQ(count("onFinished"), static_cast<std::size_t>(run));
    }
    EXPECT_EQ(count("beforeStartTask"), 0u) << "the proxy moves the target itself";
}

