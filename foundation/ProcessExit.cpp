#include "foundation/ProcessExit.h"

#include "foundation/Thread.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vorsam {

namespace {

std::atomic<bool> exitBegun{false};
std::atomic<bool> exitLeftTheRest{false};

// A thread's start takes microseconds; one that takes longer is left alone.
const std::chrono::milliseconds StartingThreadsLimit{1000};

} // namespace

void ProcessExit::begin()
{
    exitBegun = true;
}

bool ProcessExit::begun()
{
    return exitBegun;
}

void ProcessExit::leaveTheRest()
{
    exitBegun = true;
    exitLeftTheRest = true;
    const auto end = std::chrono::steady_clock::now() + StartingThreadsLimit;
    while (Thread::startingCount() > 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool ProcessExit::restLeft()
{
    return exitLeftTheRest;
}

} // namespace vorsam
