// libFuzzer target: whatever bytes lie in a recovery file (a damaged disk, a
// file edited by hand), the recovery layer reads it or skips it, and what it
// reads it exports, rewrites, closes, lists and extracts without crashing.
// A file it wrote itself it must always read again.
//
// The input is the file. It is read on its own, then lies as the open file
// of terminal 12345678 / acquirer 0000000A and as a closed file of the same
// while a backup-mode sale of that terminal is recorded and the closed files
// are listed and extracted (with erasing), as the host does.
#include "recovery/RecoveryCalendar.h"
#include "recovery/RecoveryFileRequests.h"
#include "recovery/RecoveryFileUtil.h"
#include "recovery/ZUVARecoveryFileManager.h"
#include "recovery/ZUVARecoveryItem.h"
#include "tests/support/LocalTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include <unistd.h>

namespace {

const char* const kTerminal = "12345678";
const char* const kAcquirer = "0000000A";

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_recovery_xml: %s\n", what);
    std::abort();
}

// A scratch base folder of this process, in memory where there is one: the
// recovery layer syncs every file it writes.
struct Scratch {
    Scratch()
    {
        // A zone with daylight saving, so dates meet its gaps and repeats.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        const QString root = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        base = QStringLiteral("%1/zuva-fuzz-recovery-%2").arg(root).arg(static_cast<qint64>(::getpid()));
    }

    ~Scratch() { QDir(base).removeRecursively(); }

    void reset() const
    {
        QDir(base).removeRecursively();
        QDir().mkpath(base);
    }

    QString path(const QString& relative) const { return ect::RecoveryFileUtil::appendPath(base, relative); }

    QString base;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        finding("cannot write the scratch file");
}

// Reads the file alone, exports it, and writes it back: the rewrite must read.
void readAlone(const Scratch& scratch, const QByteArray& bytes)
{
    const QString path = scratch.path(QStringLiteral("alone.xml"));
    writeFile(path, bytes);
    const auto file = ect::RecoveryFileUtil::readRecoveryFileXml(path);
    if (!file)
        return;
    (void)file->content();
    (void)file->fileName();
    (void)ect::RecoveryFileUtil::exportFileNames({file, file});
    const QString again = scratch.path(QStringLiteral("again.xml"));
    if (!ect::RecoveryFileUtil::writeRecoveryFileXml(again, file))
        finding("a read file cannot be written back");
    const auto reread = ect::RecoveryFileUtil::readRecoveryFileXml(again);
    if (!reread)
        finding("a file written by the recovery layer does not read");
    if (reread->transactions().size() != file->transactions().size())
        finding("a rewritten file lost transactions");
}

std::shared_ptr<ect::ZUVARecoveryItem> backupModeSale(const std::tm& date)
{
    auto item = std::make_shared<ect::ZUVARecoveryItem>();
    item->terminalId(kTerminal);
    item->acquirerId(kAcquirer);
    item->schemeId("A00000000401");
    item->batchId("0012");
    item->creationDate(date);
    item->merchantUserId("CASHIER1");
    item->transactionLogRecord("0102030405060708");
    return item;
}

// The file as the open and as a closed file of the terminal, then the host's
// work: a backup-mode sale is recorded, the closed files listed and extracted.
void useStored(const Scratch& scratch, const QByteArray& bytes)
{
    const std::tm now = testsupport::localTime(2016, 3, 5, 20, 0, 0);
    ect::ZUVARecoveryFileManager manager([&now] { return ect::RecoveryCalendar::toSeconds(now); });
    manager.recoveryFileFolder(scratch.base);
    writeFile(manager.getOpenFilePath(kTerminal, kAcquirer), bytes);
    writeFile(manager.getClosedFilePath(kTerminal, kAcquirer, testsupport::localTime(2016, 3, 4, 14, 7, 9)), bytes);
    (void)manager.saveRecoveryItem(backupModeSale(now));
    (void)ect::RecoveryFileRequests::recoveryFilesJson(manager, kTerminal);
    const QByteArray exportFolder = scratch.path(QStringLiteral("export")).toUtf8();
    (void)ect::RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, exportFolder.constData(), 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    static const Scratch scratch;
    const QByteArray bytes(reinterpret_cast<char const*>(data), int(size));
    scratch.reset();
    readAlone(scratch, bytes);
    scratch.reset();
    useStored(scratch, bytes);
    return 0;
}
