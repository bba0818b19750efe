#pragma once

#include <signal.h>

namespace vorsam {

// Blocks the asynchronous signals (termination, interrupts, timers, user
// signals) on this thread until the scope ends. A thread started meanwhile
// inherits the mask: the host's signal handlers, which may call exit, then
// never run on a library thread, whose locks the exit could not get.
class AsyncSignalsBlocked {
public:
    AsyncSignalsBlocked();
    ~AsyncSignalsBlocked();
    AsyncSignalsBlocked(const AsyncSignalsBlocked&) = delete;
    AsyncSignalsBlocked& operator=(const AsyncSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

} // namespace vorsam
