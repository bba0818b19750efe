#include "foundation/ExitAwaitedWork.h"

#include "foundation/ProcessExit.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <pthread.h>

namespace vorsam {
namespace {

// No lock: a forked child may use them, whatever the parent's threads held.
std::atomic<int> underWay{0};
std::atomic<bool> refused{false};
thread_local int onThisThread = 0;

// A forked child has only the thread that forked of the parent's.
void countInTheChild()
{
    underWay = onThisThread;
}

const bool countedInChildren = ::pthread_atfork(nullptr, nullptr, &countInTheChild) == 0;

// Counted first, so that the exit, which marks first, sees one or the other.
bool admit()
{
    ++underWay;
    if (!refused) {
        ++onThisThread;
        return true;
    }
    --underWay;
    return false;
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
    --onThisThread;
    --underWay;
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
    (void)countedInChildren;
    refused = true;
    if (onThisThread > 0 || ProcessExit::heldLocks())
        return;
    // The work under way stops at its next file. Its share of the exit's time
    // is its own, whatever ending the connections took: only storage that
    // stalls past it is not waited for.
    // Counted from the refusal: as long as the exit waits for what it ends.
    const auto end = std::chrono::steady_clock::now() + ProcessExit::Limit;
    while (underWay > 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace vorsam
