#include "foundation/ThreadMonitor.h"

#include "foundation/Threading.h"

namespace vorsam {

ThreadMonitor& ThreadMonitor::instance()
{
    static ThreadMonitor monitor;
    return monitor;
}

void ThreadMonitor::AttachThread(QString, QThread*)
{
    ::AttachThread();
}

void ThreadMonitor::DetachThread(QString, QThread*)
{
    ::DetachThread();
}

} // namespace vorsam
