#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileRequests.h"
#include "recovery/RecoveryFileUtil.h"
#include "support/QtWarnings.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <functional>
#include <map>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace recoverytest;
using ect::RecoveryFileRequests;
using ect::RecoveryFileUtil;

namespace {

const std::string T1 = "12345678";
const std::string A1 = "0000000A";

class RecoveryManager : public RecoveryFolderTest {
protected:
    // Closes a batch 0012 file of the terminal at that hour and leaves one of batch 0013 open.
    void closeFile(const std::string& terminal, int hour)
    {
        const std::tm date = localTime(2016, 3, 5, hour, 0, 0);
        ASSERT_TRUE(save(manager, terminal, A1, "0012", date, recordNumber(hour)));
        ASSERT_TRUE(save(manager, terminal, A1, "0013", date, recordNumber(100 + hour)));
    }

    QJsonArray listing(const char* terminalId)
    {
        const std::string json = RecoveryFileRequests::recoveryFilesJson(manager, terminalId);
        return QJsonDocument::fromJson(QByteArray::fromStdString(json)).array();
    }
};

// A host's message handler that exports at the warning of a removal, when
// the folder is free.
struct Exporter {
    static void onWarning(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        if (!text.contains("over the limit"))
            return;
        const int descriptor = ::open(QFile::encodeName(*lockPath).constData(), O_RDONLY | O_CLOEXEC);
        const bool folderFree = ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
        ::close(descriptor);
        if (folderFree)
            listed = static_cast<int>(manager->getRecoveryFiles().size());
    }
    static inline const QString* lockPath = nullptr;
    static inline ect::ZUVARecoveryFileManager* manager = nullptr;
    static inline int listed = -1;
};

} // namespace

// Items of a batch join one open file per terminal and acquirer; a batch
// change closes it at its last transaction, and so does a day's age.
TEST_F(RecoveryManager, FilesOpenPerTerminalAndAcquirerAndCloseOnBatchChangeOrAge)
{
    const std::tm morning = localTime(2016, 3, 5, 9, 0, 0);
    ASSERT_TRUE(save(manager, T1, A1, "0012", morning, "AA01"));
    ASSERT_TRUE(save(manager, T1, A1, "0012", localTime(2016, 3, 5, 10, 30, 15), "AA02"));
    ASSERT_TRUE(save(manager, T1, "0000000B", "0012", morning, "BB01"));
    EXPECT_EQ(fileNamesIn(openFolder()), QStringList({"TID12345678-ACQ0000000A.xml", "TID12345678-ACQ0000000B.xml"}));
    EXPECT_EQ(storedLogRecords(openFolder()), (std::vector<std::string>{"AA01", "AA02", "BB01"}));
    EXPECT_TRUE(manager.getRecoveryFiles().empty());

    ASSERT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 11, 0, 0), "AA03"));
    EXPECT_EQ(fileNamesIn(closedFolder()), QStringList{"20160305103015-TID12345678-ACQ0000000A.xml"});
    const auto closed = manager.getRecoveryFiles();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(secondsOf(closed[0]->closingDate()), secondsOf(localTime(2016, 3, 5, 10, 30, 15)));
    EXPECT_EQ(storedLogRecords(openFolder()), (std::vector<std::string>{"AA03", "BB01"}));

    now = secondsOf(morning) + 86399;
    EXPECT_EQ(manager.getRecoveryFiles().size(), 1u);
    now = secondsOf(morning) + 86400;
    EXPECT_EQ(manager.getRecoveryFiles().size(), 2u);
    EXPECT_EQ(fileNamesIn(openFolder()), QStringList{"TID12345678-ACQ0000000A.xml"});
}

// The closed folder cannot be made: the old batch's file stays open and the
// sale of the new batch is stored all the same, in a file of its own.
TEST_F(RecoveryManager, BatchChangeWhoseCloseFailsStillStoresTheSale)
{
    testsupport::QtWarnings warnings;
    ASSERT_TRUE(save(manager, T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    writeBytes(closedFolder(), "in the way");
    EXPECT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 10, 0, 0), "AA02"));
    EXPECT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 10, 1, 0), "AA03"));
    std::map<std::string, std::vector<std::string>> byBatch;
    for (const auto& open : RecoveryFileUtil::readRecoveryFilesXml(openFolder()))
        for (const auto& transaction : open->transactions())
            byBatch[open->batchId()].push_back(transaction->logRecord());
    EXPECT_EQ(byBatch, (std::map<std::string, std::vector<std::string>>{{"0012", {"AA01"}},
                                                                         {"0013", {"AA02", "AA03"}}}));
    EXPECT_TRUE(warnings.text().contains("previous batch not closed"));

    QFile::remove(closedFolder());
    EXPECT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 10, 2, 0), "AA04"));
    const auto closed = manager.getRecoveryFiles();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0]->batchId(), "0012");
    EXPECT_EQ(storedLogRecords(openFolder()), (std::vector<std::string>{"AA02", "AA03", "AA04"}));
}

// A recovery folder the process can't write to (here: another user's): the
// files stay open, the sales are stored beside them, and each operation
// warns once, however many files it can't close.
TEST_F(RecoveryManager, AnUnwritableFolderIsWarnedOfOncePerOperation)
{
    for (int batch = 0; batch < 3; ++batch)
        ASSERT_TRUE(save(manager, T1, A1, recordNumber(batch).substr(4), localTime(2016, 3, 5, 9, batch, 0),
                         recordNumber(batch)));
    for (const QString& folder : {base.path(), openFolder(), closedFolder()})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), folder == base.path() ? 0755 : 0777), 0);
    // The record files are their owner's alone: readable to the other user only so.
    for (const QString& folder : {openFolder(), closedFolder()})
        for (const QString& name : fileNamesIn(folder))
            ASSERT_EQ(::chmod(QFile::encodeName(QDir(folder).filePath(name)).constData(), 0644), 0);
    testsupport::QtWarnings warnings;
    const int sales = 4;
    {
        const AsOtherUser other;
        if (!other.acting())
            GTEST_SKIP() << "a folder root can't write needs the suite to run as root";
        for (int batch = 3; batch < 3 + sales; ++batch)
            EXPECT_TRUE(save(manager, T1, A1, recordNumber(batch).substr(4), localTime(2016, 3, 5, 9, batch, 0),
                             recordNumber(batch)));
        manager.getRecoveryFiles();
    }
    const QStringList told = warnings.text().split('\n').filter(base.path());
    EXPECT_EQ(told.filter("cannot be written").size(), sales + 1) << warnings.text().toStdString();
    EXPECT_EQ(told.filter("lock").size(), 1) << warnings.text().toStdString();
    EXPECT_EQ(told.size(), sales + 2) << warnings.text().toStdString();
    EXPECT_EQ(storedLogRecords(openFolder()).size(), static_cast<std::size_t>(1 + sales));
    EXPECT_EQ(storedLogRecords(closedFolder()).size(), 2u);

    // Where the open files can't be written either, the sale is not recorded, and said so once.
    ASSERT_EQ(::chmod(QFile::encodeName(openFolder()).constData(), 0755), 0);
    const AsOtherUser other;
    EXPECT_FALSE(save(manager, T1, A1, "0099", localTime(2016, 3, 5, 10, 0, 0), recordNumber(99)));
    const QStringList toldThen = warnings.text().split('\n').filter(base.path());
    EXPECT_EQ(toldThen.size(), told.size() + 1) << warnings.text().toStdString();
    EXPECT_TRUE(toldThen.last().contains("not recorded")) << toldThen.last().toStdString();
}

// One run as root in the register's folder (the register started once with
// sudo) leaves files the register refuses: root's closed file is never listed
// again, its record stays in root's open file, and the closing order root
// left is not rewritten in silence.
TEST_F(RecoveryManager, ARootRunLeavesFilesTheRegisterRefusesAndSaysSo)
{
    ASSERT_EQ(::chmod(QFile::encodeName(base.path()).constData(), 0777), 0);
    {
        const AsOtherUser registerUser;
        if (!registerUser.acting())
            GTEST_SKIP() << "a run under another user needs the suite to run as root";
        ASSERT_TRUE(save(manager, T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
        ASSERT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 9, 1, 0), "AA02"));
    }
    ASSERT_TRUE(save(manager, "T2", A1, "0012", localTime(2016, 3, 5, 9, 2, 0), "AA03"));
    ASSERT_TRUE(save(manager, "T2", A1, "0013", localTime(2016, 3, 5, 9, 3, 0), "AA04"));
    ASSERT_EQ(storedLogRecords(closedFolder()), (std::vector<std::string>{"AA01", "AA03"}));
    testsupport::QtWarnings warnings;
    {
        const AsOtherUser registerUser;
        EXPECT_TRUE(save(manager, T1, A1, "0014", localTime(2016, 3, 5, 9, 4, 0), "AA05"));
        const auto listed = manager.getRecoveryFiles();
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(listed[0]->terminalId() + listed[1]->terminalId(), T1 + T1);
    }
    const QString told = warnings.text();
    EXPECT_TRUE(told.contains("Closing order " + QDir(base.path()).filePath("bmrecovery/closing-order") + " not read"))
        << told.toStdString();
    EXPECT_TRUE(told.contains(QDir(closedFolder()).filePath("20160305090200-TIDT2-ACQ0000000A.xml")))
        << told.toStdString();
    EXPECT_EQ(storedLogRecords(closedFolder()), (std::vector<std::string>{"AA01", "AA02", "AA03"}));
    EXPECT_EQ(storedLogRecords(openFolder()), (std::vector<std::string>{"AA05", "AA04"}));
}

// An approved backup sale is never dropped for the characters of its fields:
// what an XML file can't carry is stored in hexadecimal, read back as it
// came, and the warning names the field, quoting a control byte as \xHH.
TEST_F(RecoveryManager, FieldsAnXmlFileCantCarryAreStoredAndReadBack)
{
    const struct {
        const char* name;
        const char* field;
        std::string terminal;
        std::string merchant;
        const char* told;
    } rows[] = {
        {"control byte in the merchant user", "merchantUserId", T1, "CASH\x01", "terminal 12345678, "},
        {"line break in the merchant user", "merchantUserId", T1, "CASH\r\nIER", "terminal 12345678, "},
        {"U+FFFE in the merchant user", "merchantUserId", T1, "CASH\xEF\xBF\xBE", "terminal 12345678, "},
        {"escape sequence in the terminal", "terminalId", "T1\x1B[2J \xC3\xA9\r\n", "CASHIER1",
         "terminal T1\\x1B[2J \xC3\xA9\\x0D\\x0A, "},
        {"NUL in the terminal", "terminalId", std::string("T1\0", 3), "CASHIER1", "terminal T1\\x00, "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        testsupport::QtWarnings warnings;
        for (int sale = 0; sale < 3; ++sale) {
            auto item = std::make_shared<ect::ZUVARecoveryItem>();
            item->terminalId(row.terminal);
            item->acquirerId(A1);
            item->batchId(sale < 2 ? "0012" : "0013");
            item->schemeId("A00000000401");
            item->creationDate(localTime(2016, 3, 5, 9, sale, 0));
            item->merchantUserId(row.merchant);
            item->transactionLogRecord(recordNumber(sale));
            EXPECT_TRUE(manager.saveRecoveryItem(item));
        }
        EXPECT_EQ(manager.getRecoveryFiles().size(), 1u);
        const auto closed = RecoveryFileUtil::readRecoveryFilesXml(closedFolder());
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(closed[0]->terminalId(), row.terminal);
        ASSERT_EQ(closed[0]->transactions().size(), 2u);
        EXPECT_EQ(closed[0]->transactions()[1]->merchantUserId(), row.merchant);
        EXPECT_EQ(storedLogRecords(openFolder()), std::vector<std::string>{recordNumber(2)});
        EXPECT_EQ(warnings.text().count(QString("with %1 in hexadecimal").arg(row.field)), 3) << warnings.text().toStdString();
        for (const char control : {'\x01', '\x1B', '\r', '\0'})
            EXPECT_FALSE(warnings.text().contains(QChar(control)));
        EXPECT_TRUE(warnings.text().contains(QString::fromUtf8(row.told))) << warnings.text().toStdString();
    }
}

// Unreadable files are skipped and logged, never overwritten or erased.
TEST_F(RecoveryManager, UnreadableFilesAreLeftAlone)
{
    testsupport::QtWarnings warnings;
    const QString openPath = manager.getOpenFilePath(QString::fromStdString(T1), QString::fromStdString(A1));
    writeBytes(openPath, "<RecoveryFile><acquirerId>0000000A</acq");
    const QString closedPath = QDir(closedFolder()).filePath("20160101000000-TIDx-ACQy.xml");
    writeBytes(closedPath, "");

    ASSERT_TRUE(save(manager, T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    ASSERT_TRUE(save(manager, T1, A1, "0013", localTime(2016, 3, 5, 9, 0, 0), "AA02"));
    EXPECT_EQ(contentOf(openPath), "<RecoveryFile><acquirerId>0000000A</acq");
    EXPECT_TRUE(certificationLogText().contains(openPath));

    ASSERT_TRUE(manager.extractRecoveryFiles(manager.getRecoveryFiles(), base.filePath("export"),
                                             ect::EraseAfterExtraction));
    EXPECT_EQ(fileNamesIn(closedFolder()), QStringList{"20160101000000-TIDx-ACQy.xml"});
    EXPECT_TRUE(certificationLogText().contains(closedPath));
    // The host hears of it without certification mode.
    EXPECT_TRUE(warnings.text().contains(openPath));
    EXPECT_TRUE(warnings.text().contains(closedPath));
}

TEST_F(RecoveryManager, ListingDescribesEachClosedFile)
{
    EXPECT_TRUE(listing(nullptr).isEmpty());
    closeFile("T1", 9);
    closeFile("T2", 10);
    EXPECT_EQ(listing(nullptr).size(), 2);
    const auto files = manager.getRecoveryFiles("T1");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(listing("T1"),
              (QJsonArray{QJsonObject{{"acquirerId", "0000000A"}, {"terminalId", "T1"}, {"schemeId", "A00000000401"},
                                      {"batchId", "0012"},
                                      {"closingDate", QString::number(secondsOf(localTime(2016, 3, 5, 9, 0, 0)))},
                                      {"content", QString::fromStdString(files[0]->content())},
                                      {"fileName", QString::fromStdString(files[0]->fileName())}}}));
    EXPECT_TRUE(listing("t1").isEmpty());
}

// The limit counts the files kept: the one closed earliest goes first.
TEST_F(RecoveryManager, KeepsTheLatestClosedFilesUpToTheLimit)
{
    manager.maxRecoveryFiles(2);
    closeFile("T1", 9);
    closeFile("T2", 10);
    EXPECT_EQ(manager.getRecoveryFiles().size(), 2u);
    closeFile("T3", 11);
    std::vector<std::string> kept;
    for (const auto& file : manager.getRecoveryFiles())
        kept.push_back(file->terminalId());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"T2", "T3"}));
}

// Erasing (mode 1) follows a successful export only.
TEST_F(RecoveryManager, ExtractionReportsOneOrZeroAndErasesOnlyWhatItExported)
{
    closeFile("T1", 9);
    closeFile("T2", 10);
    writeBytes(base.filePath("plain"), "x");
    const QByteArray blocked = base.filePath("plain/out").toUtf8();
    for (const char* folder : {static_cast<const char*>(nullptr), "", blocked.constData()})
        EXPECT_EQ(RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, folder, 1), 0);
    const QByteArray target = base.filePath("export").toUtf8();
    EXPECT_EQ(RecoveryFileRequests::extractRecoveryFiles(manager, "T1", target.constData(), 2), 1);
    EXPECT_EQ(manager.getRecoveryFiles().size(), 2u);
    EXPECT_EQ(RecoveryFileRequests::extractRecoveryFiles(manager, "T1", target.constData(), 1), 1);
    const auto left = manager.getRecoveryFiles();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->terminalId(), "T2");
    EXPECT_EQ(fileNamesIn(base.filePath("export")).size(), 1);
}

// Over the limit the file the library closed first goes, whatever dates the
// terminals' clocks wrote, and the host hears of each removal with the file
// and its payments. A terminal whose clock is behind closes each sale's file
// at once, all under one closing date.
TEST_F(RecoveryManager, OverTheLimitTheFileClosedFirstGoesAndEachRemovalIsWarned)
{
    struct Row {
        const char* name;
        int legacyFiles; // closed by an earlier version, two payments each
        int sales;
        std::function<std::tm(int sale)> date;
        std::function<int(int sale)> batch;
        std::vector<int> removed; // sales, and legacy files as 1000 + n
        int paymentsPerRemoved;
    };
    const auto upTo = [](int count, int from = 0) {
        std::vector<int> numbers;
        for (int n = from; n < from + count; ++n)
            numbers.push_back(n);
        return numbers;
    };
    const std::vector<Row> rows = {
        {"clock two days behind", 0, 25, [](int) { return localTime(2016, 3, 3, 10, 0, 0); }, [](int) { return 0; },
         upTo(5), 1},
        {"clock set back a year after 21 batches", 0, 26,
         [](int i) { return localTime(i < 21 ? 2016 : 2015, 3, 5, 9, i, 0); }, [](int i) { return i; }, upTo(6), 1},
        {"a batch change on each sale", 0, 30, [](int i) { return localTime(2016, 3, 5, 9, i, 0); },
         [](int i) { return i; }, upTo(9), 1},
        {"files of an earlier version go first", 20, 2, [](int) { return localTime(2015, 6, 1, 10, 0, 0); },
         [](int) { return 0; }, upTo(2, 1000), 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        testsupport::QtWarnings warnings;
        for (int n = 0; n < row.legacyFiles; ++n) {
            auto legacy = closedFile();
            legacy->setClosingDate(localTime(2016, 3, 1, n, 0, 0));
            for (int payment = 0; payment < 2; ++payment)
                addTransaction(*legacy, "CASHIER1", recordNumber(1000 + 2 * n + payment));
            ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(manager.getClosedFilePath(legacy), legacy));
        }
        int removals = 0;
        for (int i = 0; i < row.sales; ++i) {
            const QStringList before = fileNamesIn(closedFolder());
            ASSERT_TRUE(save(manager, T1, A1, recordNumber(row.batch(i)).substr(4), row.date(i), recordNumber(i)));
            const QStringList after = fileNamesIn(closedFolder());
            for (const QString& name : before) {
                if (after.contains(name))
                    continue;
                ++removals;
                const QString told = QString("%1, with its %2 payment record(s)")
                                         .arg(QDir(closedFolder()).filePath(name), QString::number(row.paymentsPerRemoved));
                EXPECT_TRUE(warnings.text().contains(told)) << told.toStdString();
            }
        }
        EXPECT_EQ(removals, static_cast<int>(row.removed.size()));
        EXPECT_EQ(warnings.text().count("over the limit of 20"), removals);
        std::vector<std::string> expected;
        const auto keep = [&](int number, const std::string& record) {
            if (std::find(row.removed.begin(), row.removed.end(), number) == row.removed.end())
                expected.push_back(record);
        };
        for (int n = 0; n < row.legacyFiles; ++n)
            for (int payment = 0; payment < 2; ++payment)
                keep(1000 + n, recordNumber(1000 + 2 * n + payment));
        for (int i = 0; i < row.sales; ++i)
            keep(i, recordNumber(i));
        std::vector<std::string> stored = storedLogRecords(closedFolder());
        for (const auto& open : storedLogRecords(openFolder()))
            stored.push_back(open);
        std::sort(stored.begin(), stored.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(stored, expected);
    }
}

// A host that exports as soon as it is told of a removal: the warning comes
// once the recovery files are free again, in this process and for the others.
TEST_F(RecoveryManager, ARemovalIsWarnedOnceTheFilesAreFree)
{
    const QString lockPath = QDir(base.path()).filePath("bmrecovery/lock");
    Exporter::lockPath = &lockPath;
    Exporter::manager = &manager;
    const QtMessageHandler previous = qInstallMessageHandler(&Exporter::onWarning);
    for (int i = 0; i < 22; ++i)
        save(manager, T1, A1, recordNumber(i).substr(4), localTime(2016, 3, 5, 9, i, 0), recordNumber(i));
    qInstallMessageHandler(previous);
    EXPECT_EQ(Exporter::listed, 20);
}
