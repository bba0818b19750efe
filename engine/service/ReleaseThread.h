#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace vorsam {
class Thread;
}

namespace oxa {

// The one thread on which the service layer lets go of what a library thread
// must not end itself: a terminal connection whose last reference a callback
// holds (ending it joins that very thread), a socket to disconnect (which
// waits for the socket's thread), a service stopped from inside a callback.
// Jobs run one at a time in the order posted; they may call the host, so the
// thread's stack is one host code can use. Started by the first job, ended
// and joined by stop() or destruction.
class ReleaseThread {
public:
    ReleaseThread();
    ~ReleaseThread();
    ReleaseThread(const ReleaseThread&) = delete;
    ReleaseThread& operator=(const ReleaseThread&) = delete;

    void post(std::function<void()> job);
    // Returns once done() holds; done() turns true by jobs of this thread.
    // On this thread itself, or when no thread could be started, it runs the
    // jobs posted meanwhile in place, since they are what it waits for.
    void await(const std::function<bool()>& done);
    // Runs what is still queued, also what is posted meanwhile, then ends
    // and joins the thread; a later post starts a new one. Once the Qt
    // application has gone, what is still queued stays, and the thread is
    // waited for no longer than the exit's limit. Not to be called on this
    // thread.
    void stop();
    bool isCurrentThread() const;

private:
    void start();
    void run();
    bool runNext(std::unique_lock<std::mutex>& lock);
    static bool jobsCanRun();
    static std::chrono::milliseconds endingAllowance();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    // While stop() waits for the thread, no second one starts beside it.
    bool m_stopping = false;
    // The last start found no thread to be had.
    bool m_startFailed = false;
    std::unique_ptr<vorsam::Thread> m_thread;
};

} // namespace oxa
