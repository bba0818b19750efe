#include "engine/service/ReleaseThread.h"

#include "foundation/Thread.h"

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
    if (!m_thread) {
        const unsigned generation = m_generation;
        m_thread = std::make_unique<vorsam::Thread>(QStringLiteral("ReleaseThread"));
        m_thread->setStackSize(vorsam::Thread::HostCodeStackSize);
        m_thread->reset(vorsam::Thread::RunOnce, [this, generation](vorsam::Runnable&) { run(generation); });
    }
    m_changed.notify_all();
}

// Runs until stop() has ended this generation and nothing is left to run.
void ReleaseThread::run(unsigned generation)
{
    currentReleaseThread = this;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto stopped = [this, generation] { return m_generation != generation; };
    for (;;) {
        m_changed.wait(lock, [&] { return stopped() || !m_jobs.empty(); });
        if (!runNext(lock) && stopped())
            break;
    }
    currentReleaseThread = nullptr;
}

// Runs the oldest job outside the lock; false when there is none.
bool ReleaseThread::runNext(std::unique_lock<std::mutex>& lock)
{
    if (m_jobs.empty())
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
    if (!isCurrentThread()) {
        m_changed.wait(lock, done);
        return;
    }
    while (!done()) {
        m_changed.wait(lock, [&] { return done() || !m_jobs.empty(); });
        runNext(lock);
    }
}

void ReleaseThread::stop()
{
    std::unique_ptr<vorsam::Thread> thread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_changed.notify_all();
        thread.swap(m_thread);
    }
    thread.reset();
}

bool ReleaseThread::isCurrentThread() const
{
    return currentReleaseThread == this;
}

} // namespace oxa
