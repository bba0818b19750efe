#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileName.h"
#include "recovery/RecoveryFileUtil.h"

#include <QDir>
#include <QFileInfo>

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
