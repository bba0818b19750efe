#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace kiss {

// One call that another thread hands to the link thread and waits for. The
// link thread either runs it or, when it stops first, abandons it; either
// way the caller wakes up.
class LinkCall {
public:
    explicit LinkCall(std::function<void()> work);

    // In the link thread: runs the work unless the call was abandoned.
    void run();
    // In the link thread: wakes the caller without running the work.
    void abandon();
    // In the calling thread: waits for run or abandon; true when the work ran.
    bool wait();

private:
    enum class Outcome { Pending, Ran, Abandoned };

    std::function<void()> work_;
    std::mutex mutex_;
    std::condition_variable finished_;
    Outcome outcome_ = Outcome::Pending;
};

} // namespace kiss
