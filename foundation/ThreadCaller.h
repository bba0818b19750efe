#pragma once

#include "foundation/Thread.h"

#include <QThread>

#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

namespace vorsam {

// Runs jobs on one worker thread for callers on other threads. Unlike a
// blocking queued connection it never leaves a caller waiting for a thread
// whose event loop has ended: jobs still pending when the worker closes the
// caller are dropped and their callers get the fallback.
// Jobs travel through a std::mutex, so ThreadSanitizer sees the hand-over.
class ThreadCaller {
public:
    ThreadCaller();
    ~ThreadCaller();

    ThreadCaller(const ThreadCaller&) = delete;
    ThreadCaller& operator=(const ThreadCaller&) = delete;

    // On the worker thread, inside its event loop's life: serve jobs from now on.
    void open();
    // On the worker thread: drop pending jobs and refuse further ones.
    void close();

    // Queues a job for the worker thread; false when it is not served.
    bool post(std::function<void()> job);

    // Runs the work on the worker thread and waits for its result; runs it
    // at once when called on that thread; the fallback when not served.
    template <typename Result>
    Result call(std::function<Result()> work, Result fallback);

private:
    class Pump;
    friend class Pump;

    bool isServingThread();
    void runPending();

    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    Pump* pump_ = nullptr;
    QThread* servingThread_ = nullptr;
};

template <typename Result>
Result ThreadCaller::call(std::function<Result()> work, Result fallback)
{
    if (isServingThread())
        return work();
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> result = promise->get_future();
    const bool posted = post([promise, work] {
        try {
            promise->set_value(work());
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    promise.reset();
    if (!posted)
        return fallback;
    try {
        const Thread::Waiting forTheWorker;
        return result.get();
    } catch (...) {
        // Dropped unserved (broken promise) or the work failed.
        return fallback;
    }
}

} // namespace vorsam
