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

TEST_F(ThreadLifeCycle, IdleThreadDoesNothingAndATaskStoppingItselfEndsItsThread)
{
    Thread idle("Idle");
    idle.stop();
    idle.join();
    idle.reset();
    EXPECT_FALSE(idle.isRunning());

    std::atomic<int> runs{0};
    Thread thread("SelfStop", Thread::RunOnce, [&](Runnable& self) {
        ++runs;
        self.stop();
    });
    EXPECT_TRUE(waitUntil([&] { return !thread.isRunning(); }));
    EXPECT_EQ(runs, 1);
}

namespace {

struct TeardownRace {
    std::atomic<bool> taskGone{false};
    std::atomic<bool> teardownBegun{false};
};

// Deleted on the finishing worker thread right after its task object; holds
// that thread there, with the task object gone but the thread still
// running, until the test has begun the teardown.
class FinishHolder : public QObject {
public:
    explicit FinishHolder(TeardownRace& race)
        : race_(race)
    {
    }
    ~FinishHolder() override
    {
        race_.taskGone = true;
        waitUntil([&] { return race_.teardownBegun.load(); });
    }

private:
    TeardownRace& race_;
};

class SelfEndingTask : public Runnable {
public:
    explicit SelfEndingTask(TeardownRace& race)
        : Runnable([](Runnable& self) { self.stop(); })
        , race_(race)
    {
    }
    void startTask() override
    {
        QObject::connect(QThread::currentThread(), &QThread::finished, new FinishHolder(race_), &QObject::deleteLater);
    }

private:
    TeardownRace& race_;
};

} // namespace

// The finishing thread deletes its task object; a teardown at that moment
// must not touch it.
TEST_F(ThreadLifeCycle, TeardownWhileTheTaskObjectIsDeletedLeavesItAlone)
{
    TeardownRace race;
    Thread thread("Finishing", Thread::RunOnce, std::make_unique<SelfEndingTask>(race));
    ASSERT_TRUE(waitUntil([&] { return race.taskGone.load(); }));
    race.teardownBegun = true;
    thread.reset();
    EXPECT_FALSE(thread.isRunning());

    // And teardowns racing the end of a thread that stops itself.
    for (int i = 0; i < 50; ++i) {
        Thread racing("Racing", Thread::RunOnce, [](Runnable& self) { self.stop(); });
        if (i % 2)
            waitUntil([&] { return !racing.isRunning(); });
    }
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

TEST_F(ThreadLifeCycle, RefusesUnfitTaskObjectsAndStaysIdle)
{
    Thread thread("Refusing", makeRunnable());
    EXPECT_THROW(thread.reset(Thread::RunOnce, std::unique_ptr<Runnable>()), std::invalid_argument);
    EXPECT_FALSE(thread.isRunning());

    QObject parent;
    auto child = std::make_unique<Runnable>();
    child->setParent(&parent);
    try {
        thread.reset(std::move(child));
        FAIL() << "a runnable with a parent was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()), "Thread Refusing cannot be created with a runnable that has a parent.");
    }
    EXPECT_EQ(parent.children().size(), 0) << "the refused runnable is deleted";

    // Handed over through a promise: ThreadSanitizer cannot see QThread::wait.
    std::promise<std::unique_ptr<Runnable>> made;
    QThread creator;
    creator.setObjectName("Creator");
    QObject::connect(&creator, &QThread::started, &creator, [&] {
        made.set_value(std::make_unique<Runnable>());
        creator.quit();
    },
                     Qt::DirectConnection);
    creator.start();
    std::unique_ptr<Runnable> foreign = made.get_future().get();
    creator.wait();
    EXPECT_THROW(thread.reset(std::move(foreign)), std::runtime_error);
    EXPECT_FALSE(thread.isRunning());
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

TEST_F(ThreadLifeCycle, WorkerThreadsGetASmallStack)
{
    std::atomic<std::size_t> stackSize{0};
    Thread thread("Stack", Thread::RunOnce, [&](Runnable&) {
        pthread_attr_t attributes;
        pthread_getattr_np(pthread_self(), &attributes);
        std::size_t size = 0;
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
        stackSize = size;
    });
    ASSERT_TRUE(waitUntil([&] { return stackSize != 0; }));
    EXPECT_LE(stackSize, 2u * 1024 * 1024);
}
