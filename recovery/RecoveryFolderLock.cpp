#include "recovery/RecoveryFolderLock.h"

#include "recovery/RecoveryLog.h"

#include "foundation/ProcessExit.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ect {
namespace {

// Short enough that a waiter rarely misses the moment between two saves of
// the other process.
const std::chrono::microseconds longestPause{1000};

} // namespace

RecoveryFolderLock::RecoveryFolderLock(const QString& path, std::chrono::milliseconds waitLimit)
    : descriptor_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666))
{
    if (descriptor_ < 0)
        return;
    held_.hold(descriptor_);
    if (take(waitLimit))
        return;
    RecoveryLog::warning(QStringLiteral("Recovery folder lock not taken within %1 ms (another process holds it), "
                                        "the files changed without it: %2")
                             .arg(QString::number(waitLimit.count()), path));
    held_.release();
    ::close(descriptor_);
    descriptor_ = -1;
}

RecoveryFolderLock::~RecoveryFolderLock()
{
    if (descriptor_ < 0)
        return;
    ::flock(descriptor_, LOCK_UN);
    held_.release();
    ::close(descriptor_);
}

// Polled rather than blocking, so that the wait has an end.
bool RecoveryFolderLock::take(std::chrono::milliseconds waitLimit) const
{
    const auto end = std::chrono::steady_clock::now() + waitLimit;
    std::chrono::microseconds pause{20};
    while (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        // An exit leaves the library's threads a moment only: the save goes on without the lock.
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= end || vorsam::ProcessExit::begun())
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, longestPause);
    }
    return true;
}

} // namespace ect
