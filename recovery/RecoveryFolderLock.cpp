#include "recovery/RecoveryFolderLock.h"

#include "common/OwnFile.h"
#include "foundation/ProcessExit.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ect {
namespace {

// Short enough that a waiter rarely misses the moment between two saves of
// the other process.
const std::chrono::microseconds longestPause{1000};

} // namespace

RecoveryFolderLock::RecoveryFolderLock(const QString& path, std::chrono::milliseconds waitLimit)
{
    std::string refusal;
    const int descriptor = OwnFile::open(QFile::encodeName(path).toStdString(), O_RDONLY | O_CREAT, refusal);
    if (descriptor < 0) {
        if (!refusal.empty() || errno != ENOENT)
            missing_ = QString::fromStdString(refusal.empty() ? std::strerror(errno) : refusal);
        return;
    }
    descriptor_ = descriptor;
    held_.hold(descriptor_);
    // An earlier release made the file readable to all: any local user could hold it.
    ::fchmod(descriptor_, S_IRUSR | S_IWUSR);
    missing_ = take(waitLimit);
    if (missing_.isEmpty())
        return;
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
QString RecoveryFolderLock::take(std::chrono::milliseconds waitLimit) const
{
    const auto end = std::chrono::steady_clock::now() + waitLimit;
    std::chrono::microseconds pause{20};
    while (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return QString::fromUtf8(std::strerror(errno));
        // An exit leaves the library's threads a moment only.
        if (vorsam::ProcessExit::begun())
            return QStringLiteral("the process is ending");
        if (std::chrono::steady_clock::now() >= end)
            return QStringLiteral("not taken within %1 ms, another process holds it").arg(waitLimit.count());
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, longestPause);
    }
    return QString();
}

} // namespace ect
