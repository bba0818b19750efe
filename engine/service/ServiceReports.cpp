#include "engine/service/ServiceReports.h"

#include "engine/service/HostCall.h"
#include "foundation/ProcessExit.h"
#include "foundation/Thread.h"

#include <algorithm>

namespace oxa {

void ServiceReports::report(const std::function<void()>& call)
{
    const std::thread::id self = std::this_thread::get_id();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const vorsam::Thread::Waiting forTheStartedCallback;
        m_changed.wait(lock, [this] { return m_opened || m_closed; });
        if (m_closed)
            return;
        m_underWay.push_back(self);
    }
    // Outside the bookkeeping below: a thread back from host code once the
    // exit has left the rest stays where its host code ends, and a report it
    // still counted as under way would hold a later stop to the exit's limit.
    const HostCall hostCode;
    struct Returned {
        ServiceReports& reports;
        std::thread::id self;
        ~Returned()
        {
            const std::lock_guard<std::mutex> lock(reports.m_mutex);
            reports.m_underWay.erase(std::find(reports.m_underWay.begin(), reports.m_underWay.end(), self));
            reports.m_changed.notify_all();
        }
    } returned{*this, self};
    call();
}

namespace {

// The innermost start under way on this thread.
thread_local ServiceReports::Start* innermostStart = nullptr;

} // namespace

ServiceReports::Start::Start(ServiceReports& reports)
    : m_reports(reports)
    , m_outer(innermostStart)
{
    innermostStart = this;
    const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
    m_reports.m_startingOn = std::this_thread::get_id();
}

ServiceReports::Start::~Start()
{
    innermostStart = m_outer;
    // No report began during the start: none can be under way.
    if (const std::function<void()> stopDue = end(true))
        stopDue();
}

std::vector<std::function<void()>> ServiceReports::Start::abandonOnThisThread()
{
    std::vector<std::function<void()>> stopsDue;
    for (Start* start = innermostStart; start; start = start->m_outer)
        if (std::function<void()> stopDue = start->end(false))
            stopsDue.push_back(std::move(stopDue));
    innermostStart = nullptr;
    return stopsDue;
}

std::function<void()> ServiceReports::Start::end(bool reportsBegin)
{
    const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
    m_reports.m_startingOn = std::thread::id();
    if (reportsBegin) {
        m_reports.m_opened = true;
        m_reports.m_changed.notify_all();
    }
    std::function<void()> stopDue;
    stopDue.swap(m_reports.m_stopDue);
    return stopDue;
}

void ServiceReports::Start::failed()
{
    const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
    m_reports.m_closed = true;
    m_reports.m_stopSettled = true;
    m_reports.m_stopDue = nullptr;
}

void ServiceReports::close(const std::function<void()>& tellStopped)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // Told once: an exit may close what the release thread is closing, and
    // returns once the stop is told (or left to the start), unless the one
    // telling it is the exiting thread, whose host code cannot go on.
    if (m_closed) {
        vorsam::ProcessExit::await(lock, m_changed, [this] {
            return m_stopSettled || m_closingOn == vorsam::ProcessExit::exitingThread();
        });
        return;
    }
    m_closed = true;
    m_closingOn = std::this_thread::get_id();
    m_changed.notify_all();
    // Whoever stops during the start (the release thread, say) does not wait
    // for the host's started callback: the start tells the stop as it ends.
    if (m_startingOn != std::thread::id())
        m_stopDue = tellStopped;
    else if (vorsam::ProcessExit::await(lock, m_changed, [this] { return !othersUnderWay(); })) {
        lock.unlock();
        tellStopped();
        lock.lock();
    }
    m_stopSettled = true;
    m_changed.notify_all();
}

bool ServiceReports::othersUnderWay() const
{
    const std::thread::id self = std::this_thread::get_id();
    const std::thread::id exiting = vorsam::ProcessExit::exitingThread();
    return std::any_of(m_underWay.begin(), m_underWay.end(),
                       [self, exiting](std::thread::id thread) { return thread != self && thread != exiting; });
}

} // namespace oxa
