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

ServiceReports::Start::Start(ServiceReports& reports)
    : m_reports(reports)
{
    const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
    m_reports.m_startingOn = std::this_thread::get_id();
}

ServiceReports::Start::~Start()
{
    std::function<void()> stopDue;
    {
        const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
        m_reports.m_startingOn = std::thread::id();
        m_reports.m_opened = true;
        m_reports.m_changed.notify_all();
        stopDue.swap(m_reports.m_stopDue);
    }
    // No report began during the start: none can be under way.
    if (stopDue)
        stopDue();
}

void ServiceReports::Start::failed()
{
    const std::lock_guard<std::mutex> lock(m_reports.m_mutex);
    m_reports.m_startFailed = true;
    m_reports.m_closed = true;
    m_reports.m_stopDue = nullptr;
}

void ServiceReports::close(const std::function<void()>& tellStopped)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
    if (m_startFailed)
        return;
    // Whoever stops during the start (the release thread, say) does not wait
    // for the host's started callback: the start tells the stop, unless its
    // thread is the exiting one, whose host code cannot go on.
    if (m_startingOn != std::thread::id() && m_startingOn != vorsam::ProcessExit::exitingThread()) {
        m_stopDue = tellStopped;
        return;
    }
    if (!vorsam::ProcessExit::await(lock, m_changed, [this] { return !othersUnderWay(); }))
        return;
    lock.unlock();
    tellStopped();
}

bool ServiceReports::othersUnderWay() const
{
    const std::thread::id self = std::this_thread::get_id();
    const std::thread::id exiting = vorsam::ProcessExit::exitingThread();
    return std::any_of(m_underWay.begin(), m_underWay.end(),
                       [self, exiting](std::thread::id thread) { return thread != self && thread != exiting; });
}

} // namespace oxa
