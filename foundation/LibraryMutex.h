#pragma once

#include "foundation/HeldLocks.h"

#include <mutex>

namespace vorsam {

// A std::mutex that counts among the locks this thread holds (HeldLocks):
// what a thread hands outside() while holding it waits until its release.
// For std::lock_guard and std::unique_lock. The count costs about 40
// instructions a lock and release: a sale's reply path (readMessage and
// handleMessage, inclusive) 206,419 instructions against 205,566 uncounted,
// its request (zuva_send_transaction) 45,213 against 44,781 (callgrind,
// bench_e2e_latency, Release).
class LibraryMutex {
public:
    void lock()
    {
        mutex_.lock();
        HeldLocks::acquired();
    }

    bool try_lock()
    {
        if (!mutex_.try_lock())
            return false;
        HeldLocks::acquired();
        return true;
    }

    void unlock()
    {
        mutex_.unlock();
        HeldLocks::released();
    }

private:
    std::mutex mutex_;
};

} // namespace vorsam
