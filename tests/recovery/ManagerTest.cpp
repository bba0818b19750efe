#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileUtil.h"
#include "support/QtWarnings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>

using namespace recoverytest;
using ect::RecoveryFileUtil;

namespace {

const std::string T1 = "12345678";
const std::string A1 = "0000000A";

std::vector<std::string> logRecordsOf(const ect::ZUVARecoveryFileImpl& file)
{
    std::vector<std::string> records;
    for (const auto& transaction : file.transactions())
        records.push_back(transaction->logRecord());
    return records;
}

class RecoveryManager : public RecoveryFolderTest {
protected:
    bool save(const std::string& terminal, const std::string& acquirer, const std::string& batch,
              const std::tm& date, const std::string& record)
    {
        return manager.saveRecoveryItem(makeItem(terminal, acquirer, batch, date, record));
    }

    // Makes n closed files, one per terminal, and leaves each terminal a file open.
    void makeClosedFiles(int n)
    {
        for (int i = 0; i < n; ++i) {
            const std::string terminal = "T" + std::to_string(100 + i);
            ASSERT_TRUE(save(terminal, A1, "0001", localTime(2016, 3, 5, 11, 0, 0), "01"));
            ASSERT_TRUE(save(terminal, A1, "0002", localTime(2016, 3, 5, 11, 0, 0), "02"));
        }
    }
};

} // namespace

// Items of a batch join one open file per terminal and acquirer; a batch
// change closes it at its last transaction.
TEST_F(RecoveryManager, FilesOpenPerTerminalAndAcquirerAndCloseOnBatchChange)
{
    const std::tm morning = localTime(2016, 3, 5, 9, 0, 0);
    ASSERT_TRUE(save(T1, A1, "0012", morning, "AA01"));
    EXPECT_EQ(fileNamesIn(openFolder()), QStringList{"TID12345678-ACQ0000000A.xml"});
    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 10, 30, 15), "AA02"));
    ASSERT_TRUE(save(T1, "0000000B", "0012", morning, "BB01"));
    const auto files = RecoveryFileUtil::readRecoveryFilesXml(openFolder());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(logRecordsOf(*files[0]), (std::vector<std::string>{"AA01", "AA02"}));
    EXPECT_EQ(secondsOf(files[0]->creationDate()), secondsOf(morning));
    EXPECT_EQ(logRecordsOf(*files[1]), std::vector<std::string>{"BB01"});
    EXPECT_TRUE(manager.getRecoveryFiles().empty());

    ASSERT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 11, 0, 0), "AA03"));
    EXPECT_EQ(fileNamesIn(closedFolder()), QStringList{"20160305103015-TID12345678-ACQ0000000A.xml"});
    const auto closed = manager.getRecoveryFiles();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0]->batchId(), "0012");
    EXPECT_EQ(secondsOf(closed[0]->closingDate()), secondsOf(localTime(2016, 3, 5, 10, 30, 15)));
    const auto reopened = manager.getOpenFilePath(QString::fromStdString(T1), QString::fromStdString(A1));
    const auto open = RecoveryFileUtil::readRecoveryFileXml(reopened);
    ASSERT_TRUE(open);
    EXPECT_EQ(logRecordsOf(*open), std::vector<std::string>{"AA03"});
}

TEST_F(RecoveryManager, FilesCloseOnceADayOld)
{
    const std::tm created = localTime(2016, 3, 5, 9, 0, 0);
    ASSERT_TRUE(save(T1, A1, "0012", created, "AA01"));
    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 10, 0, 0), "AA02"));

    now = secondsOf(created) + 86399;
    EXPECT_TRUE(manager.getRecoveryFiles().empty());
    now = secondsOf(created) + 86400;
    const auto closed = manager.getRecoveryFiles();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(secondsOf(closed[0]->closingDate()), secondsOf(localTime(2016, 3, 6, 10, 0, 0)));
    EXPECT_TRUE(fileNamesIn(openFolder()).isEmpty());
}

TEST_F(RecoveryManager, TrimmingKeepsTheLimitOneFilePerCall)
{
    manager.maxRecoveryFiles(1000);
    makeClosedFiles(4);
    // Make the earliest closing date belong to the last-listed file.
    auto last = RecoveryFileUtil::readRecoveryFilesXml(closedFolder()).back();
    last->setClosingDate(localTime(2015, 1, 1, 0, 0, 0));
    ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(last->storedPath(), last));

    manager.maxRecoveryFiles(2);
    manager.checkRecoveryFileStates();
    EXPECT_EQ(fileNamesIn(closedFolder()).size(), 3);
    EXPECT_FALSE(QFileInfo::exists(last->storedPath()));
    for (int call = 0; call < 2; ++call)
        manager.checkRecoveryFileStates();
    EXPECT_EQ(fileNamesIn(closedFolder()).size(), 2);
}

TEST_F(RecoveryManager, ExportAppliesTheEraseModeOnlyAfterSuccess)
{
    makeClosedFiles(2);
    const QString target = base.filePath("export");
    writeBytes(base.filePath("plain"), "x");

    EXPECT_FALSE(manager.extractRecoveryFiles(manager.getRecoveryFiles(), base.filePath("plain/out"),
                                              ect::EraseAfterExtraction));
    EXPECT_EQ(fileNamesIn(closedFolder()).size(), 2);

    const auto files = manager.getRecoveryFiles();
    ASSERT_TRUE(manager.extractRecoveryFiles(files, target, ect::EraseAfterExtraction));
    EXPECT_TRUE(fileNamesIn(closedFolder()).isEmpty());
    for (const auto& file : files)
        EXPECT_EQ(contentOf(QDir(target).filePath(QString::fromStdString(file->fileName()))).toStdString(),
                  file->content());
    EXPECT_FALSE(fileNamesIn(openFolder()).isEmpty());
}

// Found again by where it lies, not by a name rebuilt from its fields.
TEST_F(RecoveryManager, FilesAreFoundAgainUnderTheNameTheyLieUnder)
{
    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    const QString legacy = QDir(openFolder()).filePath("legacy-name.xml");
    ASSERT_TRUE(QFile::rename(manager.getOpenFilePath(QString::fromStdString(T1), QString::fromStdString(A1)), legacy));
    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 9, 1, 0), "AA02"));
    EXPECT_EQ(fileNamesIn(openFolder()), QStringList{"legacy-name.xml"});
    EXPECT_EQ(logRecordsOf(*onlyOpenFile()), (std::vector<std::string>{"AA01", "AA02"}));

    ASSERT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 9, 2, 0), "AA03"));
    const QString renamedClosed = QDir(closedFolder()).filePath("renamed.xml");
    ASSERT_TRUE(QFile::rename(QDir(closedFolder()).filePath(fileNamesIn(closedFolder()).front()), renamedClosed));
    ASSERT_TRUE(manager.extractRecoveryFiles(manager.getRecoveryFiles(), base.filePath("export"),
                                             ect::EraseAfterExtraction));
    EXPECT_TRUE(fileNamesIn(closedFolder()).isEmpty());
}

// The closed folder cannot be made: the old batch's file stays open and the
// sale of the new batch is stored all the same, in a file of its own.
TEST_F(RecoveryManager, BatchChangeWhoseCloseFailsStillStoresTheSale)
{
    testsupport::QtWarnings warnings;
    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    writeBytes(closedFolder(), "in the way");
    EXPECT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 10, 0, 0), "AA02"));
    EXPECT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 10, 1, 0), "AA03"));
    std::map<std::string, std::vector<std::string>> byBatch;
    for (const auto& open : RecoveryFileUtil::readRecoveryFilesXml(openFolder()))
        byBatch[open->batchId()] = logRecordsOf(*open);
    EXPECT_EQ(byBatch, (std::map<std::string, std::vector<std::string>>{{"0012", {"AA01"}},
                                                                         {"0013", {"AA02", "AA03"}}}));
    EXPECT_TRUE(warnings.text().contains("previous batch not closed"));

    QFile::remove(closedFolder());
    EXPECT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 10, 2, 0), "AA04"));
    const auto closed = manager.getRecoveryFiles();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0]->batchId(), "0012");
    EXPECT_EQ(logRecordsOf(*onlyOpenFile()), (std::vector<std::string>{"AA02", "AA03", "AA04"}));
}

// Unreadable files are skipped and logged, never overwritten or erased.
TEST_F(RecoveryManager, UnreadableFilesAreLeftAlone)
{
    testsupport::QtWarnings warnings;
    const QString openPath = manager.getOpenFilePath(QString::fromStdString(T1), QString::fromStdString(A1));
    writeBytes(openPath, "<RecoveryFile><acquirerId>0000000A</acq");
    const QString closedPath = QDir(closedFolder()).filePath("20160101000000-TIDx-ACQy.xml");
    writeBytes(closedPath, "");

    ASSERT_TRUE(save(T1, A1, "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    ASSERT_TRUE(save(T1, A1, "0013", localTime(2016, 3, 5, 9, 0, 0), "AA02"));
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
