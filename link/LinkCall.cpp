#include "link/LinkCall.h"

#include "foundation/Thread.h"

namespace kiss {

LinkCall::LinkCall(std::function<void()> work)
    : work_(std::move(work))
{
}

void LinkCall::run()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (outcome_ != Outcome::Pending)
            return;
    }
    // Run and abandon both happen in the link thread, so nothing can
    // abandon the call while the work runs.
    work_();
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_ = Outcome::Ran;
    finished_.notify_all();
}

void LinkCall::abandon()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (outcome_ == Outcome::Pending)
        outcome_ = Outcome::Abandoned;
    finished_.notify_all();
}

bool LinkCall::wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    const vorsam::Thread::Waiting forTheLinkThread;
    finished_.wait(lock, [this] { return outcome_ != Outcome::Pending; });
    return outcome_ == Outcome::Ran;
}

} // namespace kiss
