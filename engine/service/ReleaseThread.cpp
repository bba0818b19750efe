#include "engine/service/ReleaseThread.h"

#include "foundation/ProcessExit.h"
#include "foundation/Thread.h"

#include <QCoreApplication>
#include <QDebug>

#include <exception>

namespace oxa {

namespace {

thread_local const void* currentReleaseThread = nullptr;

} // namespace

ReleaseThread::ReleaseThread() = default;

ReleaseThread::~ReleaseThread()
{
    stop();
}

void ReleaseThread::post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    if (!m_thread && !m_stopping)
        start();
    m_changed.notify_all();
}

void ReleaseThread::start()
{
    auto thread = std::make_unique<vorsam::Thread>(QStringLiteral("ReleaseThread"));
    thread->setStackSize(vorsam::Thread::HostCodeStackSize);
    try {
        thread->reset(vorsam::Thread::RunOnce, [this](vorsam::Runnable&) { run(); });
    } catch (const std::exception&) {
        // Posted from destructors too, so nothing is thrown: the next post
        // tries again, and whoever awaits the jobs meanwhile runs them.
        m_startFailed = true;
        return;
    }
    m_startFailed = false;
    m_thread = std::move(thread);
}

// Runs until stop() is under way and nothing is left to run.
void ReleaseThread::run()
{
    currentReleaseThread = this;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        {
            const vorsam::Thread::Waiting forWork;
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        }
        if (!runNext(lock) && (m_stopping || vorsam::ProcessExit::restLeft()))
            break;
    }
    currentReleaseThread = nullptr;
}

// Runs the oldest job outside the lock; false when there is none, or once the
// exit has left the rest to the process's end, when Qt's statics go.
bool ReleaseThread::runNext(std::unique_lock<std::mutex>& lock)
{
    if (m_jobs.empty() || vorsam::ProcessExit::restLeft())
        return false;
    std::function<void()> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    lock.unlock();
    try {
        job();
    } catch (const std::exception& e) {
        qWarning("Release failed: %s", e.what());
    }
    job = nullptr;
    lock.lock();
    m_changed.notify_all();
    return true;
}

void ReleaseThread::await(const std::function<bool()>& done)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!isCurrentThread() && !m_startFailed) {
        const vorsam::Thread::Waiting forTheReleaseThread;
        m_changed.wait(lock, done);
        return;
    }
    // Once the exit has left the rest, the jobs no longer run.
    const auto runnable = [&] { return done() || (!m_jobs.empty() && !vorsam::ProcessExit::restLeft()); };
    while (!done()) {
        {
            const vorsam::Thread::Waiting forJobs;
            m_changed.wait(lock, runnable);
        }
        runNext(lock);
    }
}

void ReleaseThread::stop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_stopping; });
    m_stopping = true;
    while (m_thread) {
        std::unique_ptr<vorsam::Thread> thread = std::move(m_thread);
        m_changed.notify_all();
        lock.unlock();
        thread->endWithin(endingAllowance());
        thread.reset();
        lock.lock();
        // Posted after the thread had found nothing left to run.
        if (!m_jobs.empty() && jobsCanRun())
            start();
    }
    // With no thread to be had they run here.
    while (jobsCanRun() && runNext(lock)) {
    }
    m_stopping = false;
    m_changed.notify_all();
}

// Without a Qt application a new thread never gets to its jobs (its start is
// an event), and they would end connections that are then left to the
// process's end: they stay queued.
bool ReleaseThread::jobsCanRun()
{
    return QCoreApplication::instance() != nullptr;
}

// Once the Qt application has gone, a job under way may wait for ever for a
// thread that gets no events: the thread is waited for as the exit's own
// waits are, and left to the process's end after that.
std::chrono::milliseconds ReleaseThread::endingAllowance()
{
    return jobsCanRun() ? std::chrono::milliseconds::max() : vorsam::ProcessExit::Limit;
}

bool ReleaseThread::isCurrentThread() const
{
    return currentReleaseThread == this;
}

} // namespace oxa
