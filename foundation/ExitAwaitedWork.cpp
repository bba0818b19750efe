#include "foundation/ExitAwaitedWork.h"

#include "foundation/ProcessExit.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace vorsam {
namespace {

// Never destroyed: used at the process's very end.
std::mutex& lock = *new std::mutex;
std::condition_variable& left = *new std::condition_variable;
int underWay = 0;
std::atomic<bool> refused{false};
thread_local int onThisThread = 0;

bool admit()
{
    const std::lock_guard<std::mutex> guard(lock);
    if (refused)
        return false;
    ++underWay;
    ++onThisThread;
    return true;
}

} // namespace

ExitAwaitedWork::ExitAwaitedWork()
    : admitted_(admit())
{
}

ExitAwaitedWork::~ExitAwaitedWork()
{
    if (!admitted_)
        return;
    {
        const std::lock_guard<std::mutex> guard(lock);
        --underWay;
        --onThisThread;
    }
    left.notify_all();
    // Before the set-up, what its first use built goes after the exit's work.
    if (!ProcessExit::hasWork())
        ProcessExit::firstUseDone(ProcessExit::FirstUse::FileWork);
}

bool ExitAwaitedWork::admitted() const
{
    return admitted_;
}

bool ExitAwaitedWork::refusing()
{
    return refused;
}

void ExitAwaitedWork::refuseAndAwait()
{
    std::unique_lock<std::mutex> guard(lock);
    refused = true;
    if (onThisThread > 0 || ProcessExit::heldLocks())
        return;
    left.wait(guard, [] { return underWay == 0; });
}

} // namespace vorsam
