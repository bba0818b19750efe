#include "RecoveryTestSupport.h"

#include "recovery/RecoveryCalendar.h"
#include "recovery/RecoveryFileRequests.h"
#include "recovery/RecoveryFileName.h"
#include "recovery/RecoveryFileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <sys/resource.h>

using namespace recoverytest;
using ect::RecoveryFileUtil;

namespace {

std::shared_ptr<ect::ZUVARecoveryFileImpl> recordWithTransactions(int count)
{
    auto file = closedFile();
    // Created just before the clocks go forward, transactions after.
    file->setCreationDate(localTime(2016, 3, 27, 1, 59, 59));
    for (int i = 0; i < count; ++i)
        addTransaction(*file, "CASHIER" + std::to_string(i), "AB" + std::to_string(i),
                       localTime(2016, 3, 27, 3 + i, 0, i));
    return file;
}

// A terminal's date as read from its reply: the fields alone, tm_isdst 0.
std::tm terminalDate(int month, int day, int hour, int minute)
{
    std::tm date{};
    date.tm_year = 2026 - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = hour;
    date.tm_min = minute;
    return date;
}

class RecoveryXml : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder.filePath(name); }
    QTemporaryDir folder;
};

} // namespace

TEST_F(RecoveryXml, RecordRoundTripsToTheSecondWithElementsInOrder)
{
    const auto written = recordWithTransactions(2);
    ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(path("deep/er/r.xml"), written));

    const QString xml = QString::fromUtf8(contentOf(path("deep/er/r.xml")));
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    int at = 0;
    for (const char* element : {"<RecoveryFile>", "<acquirerId>0000000A<", "<terminalId>", "<schemeId>",
                                "<batchId>", "<closingDate>2016-03-05T14:07:09<", "<creationDate>",
                                "<transaction0>", "<date>2016-03-27T03:00:00<", "<logRecord>AB0<",
                                "<merchantUserId>CASHIER0<", "</transaction0>", "<transaction1>"}) {
        const int next = xml.indexOf(element, at);
        EXPECT_GE(next, at) << element;
        at = next;
    }

    const auto read = RecoveryFileUtil::readRecoveryFileXml(path("deep/er/r.xml"));
    ASSERT_TRUE(read);
    // The export covers identifiers, closing date, merchant users and log records.
    EXPECT_EQ(read->content(), written->content());
    EXPECT_EQ(secondsOf(read->creationDate()), secondsOf(written->creationDate()));
    ASSERT_EQ(read->transactions().size(), 2u);
    EXPECT_EQ(secondsOf(read->transactions()[1]->date()), secondsOf(written->transactions()[1]->date()));
    EXPECT_EQ(read->storedPath(), QDir::cleanPath(path("deep/er/r.xml")));
}

// A sale's date is stored, exported and listed as the terminal wrote it, in
// summer and winter; in the hour that occurs twice as its earlier reading, in
// one skipped as standard time; the same read back, whichever season the
// conversions before it were in.
TEST_F(RecoveryXml, DatesReadBackAsTheTerminalWroteThemInEveryZone)
{
    const struct {
        const char* zone;
        std::tm date;
        std::string stored;
        qint64 listed; // seconds since the epoch
    } rows[] = {
        {"Europe/Berlin", terminalDate(7, 15, 23, 30), "2026-07-15T23:30:00", 1784151000},
        {"Europe/Berlin", terminalDate(1, 15, 23, 30), "2026-01-15T23:30:00", 1768516200},
        {"Europe/Berlin", terminalDate(10, 25, 2, 30), "2026-10-25T02:30:00", 1792888200},
        {"Europe/Paris", terminalDate(10, 25, 2, 30), "2026-10-25T02:30:00", 1792888200},
        {"Europe/Berlin", terminalDate(3, 29, 2, 30), "2026-03-29T03:30:00", 1774747800},
        {"Europe/Berlin", terminalDate(10, 25, 12, 0), "2026-10-25T12:00:00", 1792926000},
        {"America/New_York", terminalDate(7, 15, 23, 30), "2026-07-15T23:30:00", 1784172600},
        {"America/New_York", terminalDate(1, 15, 23, 30), "2026-01-15T23:30:00", 1768537800},
        {"America/New_York", terminalDate(11, 1, 1, 30), "2026-11-01T01:30:00", 1793511000},
        {"UTC", terminalDate(7, 15, 23, 30), "2026-07-15T23:30:00", 1784158200},
        {"UTC", terminalDate(1, 15, 23, 30), "2026-01-15T23:30:00", 1768519800},
    };
    ect::ZUVARecoveryFileManager manager;
    manager.recoveryFileFolder(folder.path());
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.zone) + " " + row.stored);
        const testsupport::LocalZone zone(row.zone);
        auto file = closedFile();
        file->setClosingDate(row.date);
        addTransaction(*file, "CASHIER", "AB", row.date);
        ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(path("r.xml"), file));
        ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(manager.getClosedFilePath(file), file));
        EXPECT_TRUE(QString::fromUtf8(contentOf(path("r.xml"))).contains("<date>" + QString::fromStdString(row.stored)));
        const qint64 written = ect::RecoveryCalendar::toSeconds(row.date);
        EXPECT_EQ(written, row.listed);
        for (const int monthBefore : {1, 7}) {
            localTime(2026, monthBefore, 1, 12, 0, 0);
            const auto read = RecoveryFileUtil::readRecoveryFileXml(path("r.xml"));
            ASSERT_TRUE(read);
            const qint64 seconds = ect::RecoveryCalendar::toSeconds(read->closingDate());
            EXPECT_EQ(seconds, written);
            EXPECT_EQ(ect::RecoveryCalendar::format(ect::RecoveryCalendar::fromSeconds(seconds), "%Y-%m-%dT%H:%M:%S"),
                      row.stored);
            const std::string day = row.stored.substr(0, 4) + row.stored.substr(5, 2) + row.stored.substr(8, 2);
            EXPECT_NE(read->fileName().find("_D" + day + "_"), std::string::npos) << read->fileName();
            localTime(2026, monthBefore, 1, 12, 0, 0);
            const QJsonArray listed =
                QJsonDocument::fromJson(QByteArray::fromStdString(ect::RecoveryFileRequests::recoveryFilesJson(manager, nullptr)))
                    .array();
            ASSERT_EQ(listed.size(), 1);
            EXPECT_EQ(listed[0].toObject()["closingDate"].toString(), QString::number(row.listed));
        }
        QFile::remove(manager.getClosedFilePath(file));
    }
}

// A write that runs out of room (here: the file-size limit) fails and leaves
// the previous file whole, with no partial file beside it.
TEST_F(RecoveryXml, FailedWritesKeepThePreviousFileAndAreLogged)
{
    ASSERT_TRUE(RecoveryFileUtil::writeRecoveryFileXml(path("r.xml"), recordWithTransactions(1)));
    const QByteArray before = contentOf(path("r.xml"));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(before.size() + 100);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = RecoveryFileUtil::writeRecoveryFileXml(path("r.xml"), recordWithTransactions(40));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(written);
    EXPECT_EQ(contentOf(path("r.xml")), before);
    EXPECT_EQ(fileNamesIn(folder.path()), QStringList{"r.xml"});

    writeBytes(path("plain"), "a file, not a folder");
    EXPECT_FALSE(RecoveryFileUtil::writeRecoveryFileXml(path("plain/r.xml"), recordWithTransactions(1)));
    EXPECT_TRUE(certificationLogText().contains("Failed to write file " + path("plain/r.xml")));
}

TEST(RecoveryFileNames, HostileIdentifiersStayOneNameInsideTheFolder)
{
    const QString folder = "/base/bmrecovery/opened";
    for (const std::string& hostile : std::vector<std::string>{"../x", "/", "", "..", "a/../../b", std::string(5000, 'x'),
                                      std::string("\0/", 2), "%2F"}) {
        const QString name = RecoveryFileUtil::getOpenRecoveryFileFileName(QString::fromStdString(hostile), "../..");
        EXPECT_FALSE(name.contains('/')) << name.toStdString();
        EXPECT_LE(name.size(), 160);
        EXPECT_EQ(QFileInfo(RecoveryFileUtil::appendPath(folder, name)).path(), folder);
    }
    EXPECT_EQ(ect::RecoveryFileName::component("../x"), "..%2Fx");
    EXPECT_NE(ect::RecoveryFileName::component(std::string(100, 'a') + "1"),
              ect::RecoveryFileName::component(std::string(100, 'a') + "2"));
}
