#include "recovery/ZUVARecoveryFileManager.h"

#include "recovery/DurableFileWriter.h"
#include "recovery/RecoveryClosingOrder.h"
#include "recovery/RecoveryFileName.h"
#include "recovery/RecoveryFolderLock.h"
#include "recovery/RecoveryLog.h"
#include "recovery/RecoveryRefusedAtExit.h"

#include "foundation/ExitAwaitedWork.h"

#include "common/QuotedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ect {
namespace {

const char* const openedDir = "bmrecovery/opened";
const char* const closedDir = "bmrecovery/closed";
const char* const closingOrderFile = "bmrecovery/closing-order";
const char* const lockFile = "bmrecovery/lock";
const qint64 secondsPerDay = 86400;
const QChar nameNumberSeparator = QLatin1Char('-');

bool isComplete(const ZUVARecoveryItem& item)
{
    return !item.acquirerId().empty() && !item.terminalId().empty() && !item.schemeId().empty() &&
        !item.batchId().empty() && item.creationDate().tm_year != 0 && !item.merchantUserId().empty() &&
        !item.transactionLogRecord().empty();
}

// The fields stored in hexadecimal, which an XML file can't carry as they are.
QStringList hexStoredFields(const ZUVARecoveryItem& item)
{
    const std::pair<const char*, std::string> fields[] = {
        {"acquirerId", item.acquirerId()},         {"terminalId", item.terminalId()},
        {"schemeId", item.schemeId()},             {"batchId", item.batchId()},
        {"merchantUserId", item.merchantUserId()}, {"transactionLogRecord", item.transactionLogRecord()}};
    QStringList names;
    for (const auto& field : fields) {
        if (!RecoveryFileUtil::isStorableText(field.second))
            names << QLatin1String(field.first);
    }
    return names;
}

// Printable whatever the identifiers hold, quoted as every warning quotes a
// terminal's text.
QString quoted(const std::string& text)
{
    return QString::fromStdString(QuotedText::of(text));
}

QString describe(const ZUVARecoveryItem& item)
{
    return QStringLiteral("terminal %1, acquirer %2, batch %3")
        .arg(quoted(item.terminalId()), quoted(item.acquirerId()), quoted(item.batchId()));
}

bool isAccepted(const ZUVARecoveryItem& item)
{
    if (!isComplete(item)) {
        RecoveryLog::warning(QStringLiteral("Recovery item refused, incomplete: ") + describe(item));
        return false;
    }
    const QStringList hexStored = hexStoredFields(item);
    if (!hexStored.isEmpty())
        RecoveryLog::warning(QStringLiteral("Recovery item stored with %1 in hexadecimal, characters an XML file "
                                            "can't carry: %2")
                                 .arg(hexStored.join(QStringLiteral(", ")), describe(item)));
    return true;
}

// By the process's effective user; one not made yet is made when needed.
bool isWritable(const QString& folder)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
}

QString lockPath(const QString& baseFolder)
{
    return RecoveryFileUtil::appendPath(baseFolder, QLatin1String(lockFile));
}

ZUVARecoveryFileManager::Files asFiles(const RecoveryFileUtil::StoredFiles& stored)
{
    return ZUVARecoveryFileManager::Files(stored.begin(), stored.end());
}

QString storedPathOf(const std::shared_ptr<ZUVARecoveryFile>& file)
{
    const auto stored = std::dynamic_pointer_cast<ZUVARecoveryFileImpl>(file);
    return stored ? stored->storedPath() : QString();
}

} // namespace

class ZUVARecoveryFileManager::Exclusive {
public:
    // Making the folder the lock lies in, for a save.
    explicit Exclusive(ZUVARecoveryFileManager& manager, bool making = false)
        : lock_(admittedTo(manager.mutex_)), folder_(beginning(manager, making))
    {
        manager.noteFolderLockUnlocked(folder_.missing());
    }

private:
    vorsam::ForkSafeMutex& admittedTo(vorsam::ForkSafeMutex& mutex) const
    {
        if (!work_.admitted())
            throw RecoveryRefusedAtExit();
        return mutex;
    }

    // Once the lock is taken: one that waited for it while the exit began
    // is not waited for.
    static QString beginning(ZUVARecoveryFileManager& manager, bool making)
    {
        if (vorsam::ExitAwaitedWork::refusing())
            throw RecoveryRefusedAtExit();
        return manager.lockPathUnlocked(making);
    }

    // Given once both locks are let go of, and the exit no longer waits.
    const RecoveryLog::HeldWarnings warnings_;
    const vorsam::ExitAwaitedWork work_;
    const std::lock_guard<vorsam::ForkSafeMutex> lock_;
    const RecoveryFolderLock folder_;
};

ZUVARecoveryFileManager& ZUVARecoveryFileManager::instance()
{
    // Never destroyed: response-handler threads may still save while the
    // process exits, and the manager keeps nothing that needs flushing.
    static ZUVARecoveryFileManager* const manager = new ZUVARecoveryFileManager();
    return *manager;
}

ZUVARecoveryFileManager::ZUVARecoveryFileManager(Clock clock)
    : clock_(std::move(clock)), maxRecoveryFiles_(20), recoveryFileFolder_(QDir::currentPath())
{
}

int ZUVARecoveryFileManager::maxRecoveryFiles() const
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    return maxRecoveryFiles_;
}

void ZUVARecoveryFileManager::maxRecoveryFiles(int limit)
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    maxRecoveryFiles_ = limit;
}

QString ZUVARecoveryFileManager::recoveryFileFolder() const
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    return recoveryFileFolder_;
}

void ZUVARecoveryFileManager::recoveryFileFolder(const QString& folder)
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    recoveryFileFolder_ = QDir::cleanPath(folder);
}

bool ZUVARecoveryFileManager::saveRecoveryItem(std::shared_ptr<ZUVARecoveryItem> item)
{
    if (!item || !isAccepted(*item))
        return false;
    const Exclusive exclusive(*this, true);
    const QString unwritable = unwritableFolderUnlocked();
    if (unwritable.isEmpty())
        return saveUnlocked(*item);
    // Said once: each file kept open would fail to close, and say so, again.
    const bool recordable = isWritable(openFolderUnlocked());
    RecoveryLog::warning(QStringLiteral("Recovery folder %1: no recovery file is closed%2")
                             .arg(unwritable, recordable ? QString() : QStringLiteral(", the payment record is not recorded")));
    return recordable && storeUnlocked(*item, false);
}

void ZUVARecoveryFileManager::checkRecoveryFileStates()
{
    const Exclusive exclusive(*this);
    checkStatesUnlocked();
}

bool ZUVARecoveryFileManager::closeOpenRecoveryFile(std::shared_ptr<ZUVARecoveryFileImpl> file,
                                                    const std::tm& closingDate)
{
    if (!file)
        return false;
    const Exclusive exclusive(*this);
    if (!closeUnlocked(file, closingDate))
        return false;
    checkStatesUnlocked();
    return true;
}

ZUVARecoveryFileManager::Files ZUVARecoveryFileManager::getRecoveryFiles()
{
    const Exclusive exclusive(*this);
    checkStatesUnlocked();
    return asFiles(closedFilesUnlocked());
}

ZUVARecoveryFileManager::Files ZUVARecoveryFileManager::getRecoveryFiles(QString terminalId)
{
    const std::string wanted = terminalId.toStdString();
    Files files = getRecoveryFiles();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&wanted](const std::shared_ptr<ZUVARecoveryFile>& file) {
                                   return file->terminalId() != wanted;
                               }),
                files.end());
    return files;
}

bool ZUVARecoveryFileManager::extractRecoveryFiles(Files files, QString folder, ZUVARecoveryFileEraseMode mode)
{
    files.erase(std::remove(files.begin(), files.end(), nullptr), files.end());
    const Exclusive exclusive(*this);
    checkStatesUnlocked();
    if (!RecoveryFileUtil::extractRecoveryFiles(files, folder))
        return false;
    if (mode == EraseAfterExtraction)
        deleteClosedRecoveryFiles(files);
    return true;
}

QString ZUVARecoveryFileManager::getOpenFolder() const
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    return openFolderUnlocked();
}

QString ZUVARecoveryFileManager::getClosedFolder() const
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    return closedFolderUnlocked();
}

QString ZUVARecoveryFileManager::getOpenFilePath(const QString& terminalId, const QString& acquirerId) const
{
    std::lock_guard<vorsam::ForkSafeMutex> lock(mutex_);
    return openFilePathUnlocked(terminalId, acquirerId);
}

QString ZUVARecoveryFileManager::getOpenFilePath(std::shared_ptr<ZUVARecoveryFile> file) const
{
    return getOpenFilePath(QString::fromStdString(file->terminalId()), QString::fromStdString(file->acquirerId()));
}

QString ZUVARecoveryFileManager::getClosedFilePath(const QString& terminalId, const QString& acquirerId,
                                                   const std::tm& closingDate) const
{
    return RecoveryFileUtil::appendPath(
        getClosedFolder(), RecoveryFileUtil::getClosedRecoveryFileFileName(terminalId, acquirerId, closingDate));
}

QString ZUVARecoveryFileManager::getClosedFilePath(std::shared_ptr<ZUVARecoveryFile> file) const
{
    return getClosedFilePath(QString::fromStdString(file->terminalId()), QString::fromStdString(file->acquirerId()),
                             file->closingDate());
}

bool ZUVARecoveryFileManager::saveUnlocked(const ZUVARecoveryItem& item)
{
    updateStatesUnlocked();
    const bool stored = storeUnlocked(item, true);
    try {
        updateStatesUnlocked();
    } catch (const RecoveryRefusedAtExit&) {
        // The record is on disk: the sale is told recorded, and the files'
        // closing and trimming wait for the next run.
    }
    return stored;
}

bool ZUVARecoveryFileManager::storeUnlocked(const ZUVARecoveryItem& item, bool closing)
{
    std::shared_ptr<ZUVARecoveryFileImpl> sameBatch;
    for (const auto& open : openFilesOf(item)) {
        if (open->batchId() != item.batchId()) {
            if (closing)
                closePreviousBatchUnlocked(open);
        } else if (!sameBatch) {
            sameBatch = open;
        }
    }
    if (sameBatch) {
        addTransaction(item, *sameBatch);
        if (RecoveryFileUtil::writeRecoveryFileXml(sameBatch->storedPath(), sameBatch))
            return true;
    }
    // No file of the batch, or its file can't be written: a new one.
    return createNewOpenRecoveryFile(item);
}

// A file that can't be closed stays open beside the new batch's, which never
// shares it; every later save of the pair tries again.
void ZUVARecoveryFileManager::closePreviousBatchUnlocked(const std::shared_ptr<ZUVARecoveryFileImpl>& open)
{
    if (!closeUnlocked(open, open->lastTransactionDate()))
        RecoveryLog::warning(QStringLiteral("Open recovery file of the previous batch not closed, kept open: ") +
                             open->storedPath());
}

void ZUVARecoveryFileManager::checkStatesUnlocked()
{
    const QString unwritable = unwritableFolderUnlocked();
    if (!unwritable.isEmpty()) {
        RecoveryLog::warning(QStringLiteral("Recovery folder %1: no recovery file is closed or removed")
                                 .arg(unwritable));
        return;
    }
    updateStatesUnlocked();
}

void ZUVARecoveryFileManager::updateStatesUnlocked()
{
    closeDueFilesUnlocked();
    trimClosedFilesUnlocked();
}

void ZUVARecoveryFileManager::closeDueFilesUnlocked()
{
    const qint64 now = clock_();
    for (const auto& file : RecoveryFileUtil::readRecoveryFilesXml(openFolderUnlocked())) {
        if (now - RecoveryCalendar::toSeconds(file->creationDate()) >= secondsPerDay)
            closeUnlocked(file, RecoveryCalendar::nextDay(file->lastTransactionDate()));
    }
}

// Removes at most one file per call: the one closed first, never the one
// just closed, whatever dates the terminals' clocks gave them.
void ZUVARecoveryFileManager::trimClosedFilesUnlocked()
{
    const auto closed = closedFilesUnlocked();
    if (closed.size() <= static_cast<std::size_t>(std::max(maxRecoveryFiles_, 0)))
        return;
    const auto first = closingOrderUnlocked().first(closed);
    const QString path = first->storedPath();
    if (QFile::remove(path))
        RecoveryLog::warning(
            QStringLiteral("Recovery file removed, over the limit of %1 closed files: %2, with its %3 payment record(s)")
                .arg(QString::number(maxRecoveryFiles_), path, QString::number(first->transactions().size())));
    else
        RecoveryLog::warning(QStringLiteral("Failed to remove recovery file over the limit: ") + path);
    DurableFileWriter::syncFolder(closedFolderUnlocked());
}

bool ZUVARecoveryFileManager::closeUnlocked(const std::shared_ptr<ZUVARecoveryFileImpl>& file,
                                            const std::tm& closingDate)
{
    const QString openPath = file->storedPath().isEmpty()
        ? openFilePathUnlocked(QString::fromStdString(file->terminalId()), QString::fromStdString(file->acquirerId()))
        : file->storedPath();
    // Only a file lying in the open folder can be closed.
    if (QFileInfo(openPath).absolutePath() != QFileInfo(openFolderUnlocked()).absoluteFilePath() ||
        !QFileInfo::exists(openPath))
        return false;
    file->setClosingDate(closingDate);
    if (!RecoveryFileUtil::writeRecoveryFileXml(openPath, file))
        return false;
    const QString closedFolder = closedFolderUnlocked();
    QDir().mkpath(closedFolder);
    const QString closedPath = RecoveryFileName::firstFreePath(
        closedFolder,
        RecoveryFileUtil::getClosedRecoveryFileFileName(QString::fromStdString(file->terminalId()),
                                                        QString::fromStdString(file->acquirerId()), closingDate),
        nameNumberSeparator);
    if (!closingOrderUnlocked().add(QFileInfo(closedPath).fileName()))
        return false;
    // Not Qt's rename: where the name is a dangling link it copies through it.
    if (std::rename(QFile::encodeName(openPath).constData(), QFile::encodeName(closedPath).constData()) != 0) {
        RecoveryLog::warning(QStringLiteral("Failed to close recovery file %1 as %2").arg(openPath, closedPath));
        return false;
    }
    DurableFileWriter::syncFolder(closedFolder);
    DurableFileWriter::syncFolder(QFileInfo(openPath).absolutePath());
    file->setStoredPath(closedPath);
    return true;
}

RecoveryFileUtil::StoredFiles ZUVARecoveryFileManager::closedFilesUnlocked() const
{
    return RecoveryFileUtil::readRecoveryFilesXml(closedFolderUnlocked());
}

RecoveryFileUtil::StoredFiles ZUVARecoveryFileManager::openFilesOf(const ZUVARecoveryItem& item) const
{
    RecoveryFileUtil::StoredFiles files = RecoveryFileUtil::readRecoveryFilesXml(openFolderUnlocked());
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&item](const auto& file) {
                                   return file->terminalId() != item.terminalId() ||
                                       file->acquirerId() != item.acquirerId();
                               }),
                files.end());
    return files;
}

bool ZUVARecoveryFileManager::createNewOpenRecoveryFile(const ZUVARecoveryItem& item)
{
    auto file = std::make_shared<ZUVARecoveryFileImpl>();
    file->setAcquirerId(item.acquirerId());
    file->setBatchId(item.batchId());
    file->setTerminalId(item.terminalId());
    file->setSchemeId(item.schemeId());
    file->setCreationDate(item.creationDate());
    addTransaction(item, *file);
    // Never over another file: an unreadable one keeps its bytes for a human.
    const QString path = RecoveryFileName::firstFreePath(
        openFolderUnlocked(),
        RecoveryFileUtil::getOpenRecoveryFileFileName(QString::fromStdString(item.terminalId()),
                                                      QString::fromStdString(item.acquirerId())),
        nameNumberSeparator);
    return RecoveryFileUtil::writeRecoveryFileXml(path, file);
}

// Removes each exported file, found again by where it was stored and checked
// to still hold what was exported.
void ZUVARecoveryFileManager::deleteClosedRecoveryFiles(const Files& files)
{
    auto closed = closedFilesUnlocked();
    for (const auto& file : files) {
        const std::string content = file->content();
        const QString wantedPath = storedPathOf(file);
        const auto match = std::find_if(closed.begin(), closed.end(), [&](const auto& candidate) {
            return (wantedPath.isEmpty() || candidate->storedPath() == wantedPath) && candidate->content() == content;
        });
        if (match == closed.end()) {
            RecoveryLog::warning(QStringLiteral("Exported recovery file not erased, no longer found: ") +
                              QString::fromStdString(file->fileName()));
            continue;
        }
        if (!QFile::remove((*match)->storedPath()))
            RecoveryLog::warning(QStringLiteral("Failed to erase exported recovery file ") + (*match)->storedPath());
        closed.erase(match);
    }
    DurableFileWriter::syncFolder(closedFolderUnlocked());
}

QString ZUVARecoveryFileManager::openFolderUnlocked() const
{
    return RecoveryFileUtil::appendPath(recoveryFileFolder_, QLatin1String(openedDir));
}

QString ZUVARecoveryFileManager::openFilePathUnlocked(const QString& terminalId, const QString& acquirerId) const
{
    return RecoveryFileUtil::appendPath(openFolderUnlocked(),
                                        RecoveryFileUtil::getOpenRecoveryFileFileName(terminalId, acquirerId));
}

RecoveryClosingOrder ZUVARecoveryFileManager::closingOrderUnlocked() const
{
    return RecoveryClosingOrder(RecoveryFileUtil::appendPath(recoveryFileFolder_, QLatin1String(closingOrderFile)),
                                closedFolderUnlocked());
}

QString ZUVARecoveryFileManager::lockPathUnlocked(bool making) const
{
    const QString path = lockPath(recoveryFileFolder_);
    // The lock's file lies in the folder, made for the first save.
    if (making)
        QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

// Once for a run of operations without the lock, the first after one that had it.
void ZUVARecoveryFileManager::noteFolderLockUnlocked(const QString& missing)
{
    if (!missing.isEmpty() && !lockMissing_)
        RecoveryLog::warning(QStringLiteral("Recovery folder lock %1 not used (%2): the files are changed without it "
                                            "until it is, and another process sharing the folder may lose payment "
                                            "records")
                                 .arg(lockPathUnlocked(), missing));
    lockMissing_ = !missing.isEmpty();
}

// The first of the folders the files are changed in that exists and that the
// process may not write to, with the error that says why; empty when there is
// none.
QString ZUVARecoveryFileManager::unwritableFolderUnlocked() const
{
    for (const QString& folder : {QFileInfo(lockPathUnlocked()).path(), openFolderUnlocked(), closedFolderUnlocked()}) {
        if (!isWritable(folder))
            return QStringLiteral("%1 cannot be written (%2)").arg(folder, QString::fromUtf8(std::strerror(errno)));
    }
    return QString();
}

QString ZUVARecoveryFileManager::closedFolderUnlocked() const
{
    return RecoveryFileUtil::appendPath(recoveryFileFolder_, QLatin1String(closedDir));
}

void ZUVARecoveryFileManager::addTransaction(const ZUVARecoveryItem& item, ZUVARecoveryFileImpl& file)
{
    auto transaction = std::make_shared<ZUVARecoveryFileTransaction>();
    transaction->setDate(item.creationDate());
    transaction->setMerchantUserId(item.merchantUserId());
    transaction->setLogRecord(item.transactionLogRecord());
    auto transactions = file.transactions();
    transactions.push_back(transaction);
    file.setTransactions(transactions);
}

} // namespace ect
