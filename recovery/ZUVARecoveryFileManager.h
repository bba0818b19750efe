#pragma once

#include "recovery/RecoveryCalendar.h"
#include "recovery/RecoveryClosingOrder.h"
#include "recovery/RecoveryFileUtil.h"
#include "recovery/ZUVARecoveryFileEraseMode.h"
#include "recovery/ZUVARecoveryFileImpl.h"
#include "recovery/ZUVARecoveryItem.h"

#include "foundation/ForkSafeMutex.h"

#include <QString>

#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace ect {

// Owner of the backup-mode recovery files: one open file per terminal and
// acquirer under "bmrecovery/opened", closed files under "bmrecovery/closed".
// All state lies in the file system; every operation reads the folders anew.
//
// Saves arrive from every connection's response-handler thread, listings and
// exports from the host's threads, and other processes may share the base
// folder: each public operation holds one lock for its whole run, and the
// folder's lock (RecoveryFolderLock) as well. Once the exit's work waits for
// those under way, each throws RecoveryRefusedAtExit before its next file is
// read or exported, and one not begun touches nothing; a save whose record is
// written returns true.
class ZUVARecoveryFileManager {
public:
    using Files = std::vector<std::shared_ptr<ZUVARecoveryFile>>;
    // Current time in seconds since the epoch.
    using Clock = std::function<qint64()>;

    static ZUVARecoveryFileManager& instance();

    // Base folder: the current directory, which another process may share.
    explicit ZUVARecoveryFileManager(Clock clock = &RecoveryCalendar::now);
    ZUVARecoveryFileManager(const ZUVARecoveryFileManager&) = delete;
    ZUVARecoveryFileManager& operator=(const ZUVARecoveryFileManager&) = delete;

    int maxRecoveryFiles() const;
    void maxRecoveryFiles(int limit);
    QString recoveryFileFolder() const;
    void recoveryFileFolder(const QString& folder);

    // False when the item is incomplete or no file could be written; true
    // only once the item is on disk. A batch
    // change whose old file can't be closed still stores the item, in a
    // new file beside the old one.
    bool saveRecoveryItem(std::shared_ptr<ZUVARecoveryItem> item);
    // Closes the open files that are a day old and trims the closed ones.
    void checkRecoveryFileStates();
    bool closeOpenRecoveryFile(std::shared_ptr<ZUVARecoveryFileImpl> file, const std::tm& closingDate);
    Files getRecoveryFiles();
    Files getRecoveryFiles(QString terminalId);
    // Writes the exports into the folder; with EraseAfterExtraction and only
    // when every export was written and read back, removes the closed files.
    bool extractRecoveryFiles(Files files, QString folder, ZUVARecoveryFileEraseMode mode);

    QString getOpenFolder() const;
    QString getClosedFolder() const;
    QString getOpenFilePath(const QString& terminalId, const QString& acquirerId) const;
    QString getOpenFilePath(std::shared_ptr<ZUVARecoveryFile> file) const;
    QString getClosedFilePath(const QString& terminalId, const QString& acquirerId, const std::tm& closingDate) const;
    QString getClosedFilePath(std::shared_ptr<ZUVARecoveryFile> file) const;

private:
    // Both locks, for a public operation's whole run.
    class Exclusive;

    // The operations below expect mutex_ to be held by their caller.
    bool saveUnlocked(const ZUVARecoveryItem& item);
    // Closes the files of the terminal's earlier batches only when closing.
    bool storeUnlocked(const ZUVARecoveryItem& item, bool closing);
    // Closes the files due and trims the closed ones, once the folder is
    // found writable (warned of otherwise).
    void checkStatesUnlocked();
    void updateStatesUnlocked();
    void closeDueFilesUnlocked();
    void trimClosedFilesUnlocked();
    bool closeUnlocked(const std::shared_ptr<ZUVARecoveryFileImpl>& file, const std::tm& closingDate);
    RecoveryFileUtil::StoredFiles closedFilesUnlocked() const;
    void closePreviousBatchUnlocked(const std::shared_ptr<ZUVARecoveryFileImpl>& open);
    // The open files of the item's terminal and acquirer, in listing order.
    RecoveryFileUtil::StoredFiles openFilesOf(const ZUVARecoveryItem& item) const;
    bool createNewOpenRecoveryFile(const ZUVARecoveryItem& item);
    void deleteClosedRecoveryFiles(const Files& files);
    QString openFolderUnlocked() const;
    QString openFilePathUnlocked(const QString& terminalId, const QString& acquirerId) const;
    QString closedFolderUnlocked() const;
    QString unwritableFolderUnlocked() const;
    RecoveryClosingOrder closingOrderUnlocked() const;
    QString lockPathUnlocked(bool making = false) const;
    void noteFolderLockUnlocked(const QString& missing);

    static void addTransaction(const ZUVARecoveryItem& item, ZUVARecoveryFileImpl& file);

    // Made anew in a forked child: a parent thread may hold it as the parent
    // forks. The folder's lock keeps that thread's files apart from the
    // child's. Costs what a plain mutex did (callgrind, bench_recovery): a
    // save of a batch's 10th record 2.006 M instructions (2.007 M before), a
    // listing of 20 closed files 22.11-22.13 M (the same before).
    mutable vorsam::ForkSafeMutex mutex_;
    const Clock clock_;
    int maxRecoveryFiles_;
    QString recoveryFileFolder_;
    // The last operation went on without the folder's lock.
    bool lockMissing_ = false;
};

} // namespace ect
