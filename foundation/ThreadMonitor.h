#pragma once

#include <QString>

class QThread;

namespace vorsam {

// Process-wide observer of worker threads; hands their start and end on to
// the host hooks AttachThread() and DetachThread().
class ThreadMonitor {
public:
    static ThreadMonitor& instance();

    void AttachThread(QString name, QThread* thread);
    void DetachThread(QString name, QThread* thread);

private:
    ThreadMonitor() = default;
};

} // namespace vorsam
