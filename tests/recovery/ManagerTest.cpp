#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileUtil.h"
#include "support/QtWarnings.h"

#include <QDir>
#include <QFile>

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

};

} // namespace

// Items of a batch join one open file per terminal and acquirer; a batch
// change closes it at its last transaction, and so does a day's age.
TEST_F(RecoveryManager, FilesOpenPerTerminalAndAcquirerAndCloseOnBatchChangeOrAge)
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

    now = secondsOf(morning) + 86399;
    EXPECT_EQ(manager.getRecoveryFiles().size(), 1u);
    now = secondsOf(morning) + 86400;
    EXPECT_EQ(manager.getRecoveryFiles().size(), 2u);
    EXPECT_EQ(fileNamesIn(openFolder()), QStringList{"TID12345678-ACQ0000000A.xml"});
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
