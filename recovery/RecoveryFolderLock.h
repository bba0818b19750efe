#pragma once

#include "foundation/ParentOnlyDescriptor.h"

#include <QString>

#include <chrono>

namespace ect {

// Keeps the other processes that use one recovery folder (two registers
// started in one working directory, a back-office tool) out while this one
// reads, changes and replaces its files: an advisory lock (flock) on a file
// in the folder, which the kernel lets go of when the process ends.
class RecoveryFolderLock {
public:
    // Longest a process that holds the lock keeps this one waiting: past it
    // (a process stopped while it held the lock, say) the work goes on
    // without the lock, and no exit waits for ever.
    static constexpr std::chrono::milliseconds defaultWaitLimit{10000};

    // Takes the lock on the file, made when missing, and used only when it
    // is the process's own (see OwnFile). Without the file's folder there is
    // nothing to keep apart, and nothing is locked.
    explicit RecoveryFolderLock(const QString& path, std::chrono::milliseconds waitLimit = defaultWaitLimit);
    ~RecoveryFolderLock();
    RecoveryFolderLock(const RecoveryFolderLock&) = delete;
    RecoveryFolderLock& operator=(const RecoveryFolderLock&) = delete;

    // Why the lock is not held though the folder is there; empty otherwise.
    QString missing() const { return missing_; }

private:
    // Why it could not be taken; empty once taken.
    QString take(std::chrono::milliseconds waitLimit) const;

    int descriptor_ = -1;
    QString missing_;
    // A child forked meanwhile gets no share of the lock.
    vorsam::ParentOnlyDescriptor held_;
};

} // namespace ect
