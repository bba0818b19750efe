#include "foundation/HeldLocks.h"

#include <cstdio>
#include <cstdlib>
#include <deque>

#ifdef ZUVA_CHECK_HOST_CODE_LOCKS
// From the sanitizers' runtime: where the host code was entered.
extern "C" void __sanitizer_print_stack_trace();
#endif

namespace vorsam {

namespace {

// Trivially destructible: the queue exists only while work waits.
struct ThreadState {
    int held = 0;
    bool runningKept = false;
    std::deque<std::function<void()>>* kept = nullptr;
};

thread_local ThreadState state;

void runKept(ThreadState& self)
{
    self.runningKept = true;
    while (!self.kept->empty()) {
        const std::function<void()> work = std::move(self.kept->front());
        self.kept->pop_front();
        try {
            work();
        } catch (...) {
            // Host code reports its own failures; this thread goes on.
        }
    }
    delete self.kept;
    self.kept = nullptr;
    self.runningKept = false;
}

} // namespace

void HeldLocks::acquired()
{
    ++state.held;
}

void HeldLocks::released()
{
    ThreadState& self = state;
    if (--self.held == 0 && self.kept && !self.runningKept)
        runKept(self);
}

bool HeldLocks::runsAtOnce()
{
    const ThreadState& self = state;
    return self.held == 0 && !self.kept;
}

void HeldLocks::outside(std::function<void()> work)
{
    ThreadState& self = state;
    if (self.held == 0 && !self.kept) {
        work();
        return;
    }
    if (!self.kept)
        self.kept = new std::deque<std::function<void()>>();
    self.kept->push_back(std::move(work));
}

void HeldLocks::enteringHostCode()
{
#ifdef ZUVA_CHECK_HOST_CODE_LOCKS
    if (state.held > 0) {
        std::fprintf(stderr, "zuva: host code entered while this thread holds %d library lock(s)\n", state.held);
        __sanitizer_print_stack_trace();
        std::abort();
    }
#endif
}

} // namespace vorsam
