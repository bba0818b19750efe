#pragma once

#include <mutex>

namespace vorsam {

// A mutex that a forked child can take whatever a thread of the parent held
// as it forked: the child has none of the parent's other threads, so none
// would ever let go of it. As the fork returns in the child, each is made
// anew, unlocked; the parent's are left as they were, and a fork never waits
// for one. What it guards must stay sound for the child when a parent thread
// is cut off halfway (its files, say, kept apart from the parent's by a lock
// of their own).
class ForkSafeMutex {
public:
    ForkSafeMutex();
    ~ForkSafeMutex();
    ForkSafeMutex(const ForkSafeMutex&) = delete;
    ForkSafeMutex& operator=(const ForkSafeMutex&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

    // As the fork returns in the child, with no other thread.
    static void makeAllAnew();

private:
    std::mutex mutex_;
    // Every one that lives, for the child's handler.
    ForkSafeMutex* previous_ = nullptr;
    ForkSafeMutex* next_ = nullptr;
};

} // namespace vorsam
