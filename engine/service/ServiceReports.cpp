#include "engine/service/ServiceReports.h"

#include <algorithm>

namespace oxa {

void ServiceReports::report(const std::function<void()>& call)
{
    const std::thread::id self = std::this_thread::get_id();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed)
            return;
        m_underWay.push_back(self);
    }
    struct Returned {
        ServiceReports& reports;
        std::thread::id self;
        ~Returned()
        {
            const std::lock_guard<std::mutex> lock(reports.m_mutex);
            reports.m_underWay.erase(std::find(reports.m_underWay.begin(), reports.m_underWay.end(), self));
            reports.m_returned.notify_all();
        }
    } returned{*this, self};
    call();
}

bool ServiceReports::close(Deadline deadline, std::thread::id exiting)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    const auto returned = [this, exiting] { return !othersUnderWay(exiting); };
    if (deadline == Deadline::max()) {
        m_returned.wait(lock, returned);
        return true;
    }
    return m_returned.wait_until(lock, deadline, returned);
}

bool ServiceReports::othersUnderWay(std::thread::id exiting) const
{
    const std::thread::id self = std::this_thread::get_id();
    return std::any_of(m_underWay.begin(), m_underWay.end(),
                       [self, exiting](std::thread::id thread) { return thread != self && thread != exiting; });
}

} // namespace oxa
