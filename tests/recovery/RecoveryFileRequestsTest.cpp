#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileRequests.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

using namespace recoverytest;
using ect::RecoveryFileRequests;

namespace {

class RecoveryRequests : public RecoveryFolderTest {
protected:
    void closeFile(const std::string& terminal, int hour)
    {
        const std::tm date = localTime(2016, 3, 5, hour, 0, 0);
        ASSERT_TRUE(manager.saveRecoveryItem(makeItem(terminal, "0000000A", "0012", date, recordNumber(hour))));
        ASSERT_TRUE(manager.saveRecoveryItem(makeItem(terminal, "0000000A", "0013", date, recordNumber(100 + hour))));
    }

    QJsonArray listing(const char* terminalId)
    {
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(RecoveryFileRequests::recoveryFilesJson(manager, terminalId)));
        EXPECT_TRUE(document.isArray());
        return document.array();
    }
};

} // namespace

TEST_F(RecoveryRequests, ListingDescribesEachClosedFileUnderADistinctName)
{
    EXPECT_TRUE(listing(nullptr).isEmpty());
    closeFile("T1", 9);
    closeFile("T2", 10);

    const QJsonArray all = listing(nullptr);
    ASSERT_EQ(all.size(), 2);
    const auto files = manager.getRecoveryFiles("T1");
    ASSERT_EQ(files.size(), 1u);
    const QJsonArray one = listing("T1");
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].toObject(),
              (QJsonObject{{"acquirerId", "0000000A"}, {"terminalId", "T1"}, {"schemeId", "A00000000401"},
                           {"batchId", "0012"},
                           {"closingDate", QString::number(secondsOf(localTime(2016, 3, 5, 9, 0, 0)))},
                           {"content", QString::fromStdString(files[0]->content())},
                           {"fileName", QString::fromStdString(files[0]->fileName())}}));
    EXPECT_TRUE(listing("t1").isEmpty());

    closeFile("T1", 11); // also closes the 0013 file: two 0012 files of T1 closed that day
    QSet<QString> names;
    for (const auto& entry : listing(nullptr))
        names.insert(entry.toObject()["fileName"].toString());
    EXPECT_EQ(names.size(), 4);
}

// Erasing (mode 1) follows a successful export only.
TEST_F(RecoveryRequests, ExtractionReportsOneOrZeroAndErasesOnlyWhatItExported)
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
