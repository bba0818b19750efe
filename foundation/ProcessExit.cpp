#include "foundation/ProcessExit.h"

#include "foundation/ExitAwaitedWork.h"
#include "foundation/Thread.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace vorsam {

namespace {

using Clock = std::chrono::steady_clock;

// Written before the mark, read after it.
std::atomic<std::thread::id> exiting{std::thread::id()};
std::atomic<std::int64_t> beganAt{0};
std::atomic<bool> exitBegun{false};
std::atomic<bool> exitLeftTheRest{false};
std::atomic<bool> exitHoldsLocks{false};

std::atomic<void (*)()> exitWork{nullptr};
std::atomic<bool> exitWorkRan{false};
std::atomic<bool> firstUses[static_cast<int>(ProcessExit::FirstUse::Count)];


// Registered at load, so that the exit begins even before the work is set,
// and more than once after: the first registration to run does the work.
void runExitWorkOnce()
{
    if (exitWorkRan.exchange(true))
        return;
    ProcessExit::begin();
    if (void (*const work)() = exitWork)
        work();
    ExitAwaitedWork::refuseAndAwait();
    ProcessExit::leaveTheRest();
}

__attribute__((constructor)) void registerExitWorkAtLoad()
{
    std::atexit(runExitWorkOnce);
}

// A thread's start, or the event it handles, takes milliseconds; one that
// takes longer is left alone.
const std::chrono::milliseconds OnTheirWayLimit{1000};

std::int64_t now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

} // namespace

const std::chrono::milliseconds ProcessExit::Limit{5000};
const std::chrono::milliseconds ProcessExit::Look{20};

void ProcessExit::begin()
{
    if (exitBegun)
        return;
    exiting = std::this_thread::get_id();
    beganAt = now();
    exitBegun = true;
}

bool ProcessExit::begun()
{
    return exitBegun;
}

std::thread::id ProcessExit::exitingThread()
{
    return exitBegun ? exiting.load() : std::thread::id();
}

bool ProcessExit::pastTheLimit()
{
    return exitBegun && now() - beganAt >= std::chrono::nanoseconds(Limit).count();
}

void ProcessExit::leaveTheRest()
{
    begin();
    exitLeftTheRest = true;
    const bool recalling = !exitHoldsLocks;
    if (recalling)
        Thread::recallAll();
    const auto end = Clock::now() + OnTheirWayLimit;
    const auto onTheirWay = [recalling] {
        return Thread::startingCount() > 0 || (recalling && Thread::recalledCount() > 0);
    };
    while (onTheirWay() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool ProcessExit::restLeft()
{
    return exitLeftTheRest;
}

void ProcessExit::beganHoldingLocks()
{
    exitHoldsLocks = true;
}

bool ProcessExit::heldLocks()
{
    return exitHoldsLocks;
}

bool ProcessExit::await(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                        const std::function<bool()>& done)
{
    while (!changed.wait_for(lock, Look, done))
        if (pastTheLimit())
            return false;
    return true;
}

void ProcessExit::setWork(void (*work)())
{
    exitWork = work;
}

bool ProcessExit::hasWork()
{
    return exitWork != nullptr;
}

void ProcessExit::firstUseDone(FirstUse use)
{
    if (!firstUses[static_cast<int>(use)].exchange(true))
        registerWork();
}

void ProcessExit::builtBeforeTheWork(FirstUse use)
{
    firstUses[static_cast<int>(use)] = true;
}

void ProcessExit::registerWork()
{
    std::atexit(runExitWorkOnce);
}

} // namespace vorsam
