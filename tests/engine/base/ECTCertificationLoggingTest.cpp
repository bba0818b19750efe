#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"

#include "LogFiles.h"
#include "support/QtWarnings.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>

using namespace oxa;

namespace {

class ECTCertificationLoggingTest : public ::testing::Test {
protected:
    void enable(std::string const& folderPath)
    {
        log.updateEnvironment("certificationFilePath", folderPath);
        log.updateEnvironment("certificationFileName", "cert.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }

    std::string standardOutputOf(std::string const& text)
    {
        ::testing::internal::CaptureStdout();
        log.logWithoutDate(text);
        return ::testing::internal::GetCapturedStdout();
    }

    LogFolder folder;
    ECTCertificationLogging log;
};

} // namespace

TEST_F(ECTCertificationLoggingTest, WritesOnlyWhenFullyConfiguredAndEchoesWhenTheFileCannotBeOpened)
{
    log.updateEnvironment("certificationModeEnabled", "true");
    log.updateEnvironment("certificationFileName", "cert.log");
    EXPECT_EQ("", standardOutputOf("no folder yet"));
    log.updateEnvironment("certificationFilePath", folder.path());
    EXPECT_EQ("now\n", standardOutputOf("now"));
    EXPECT_EQ("now\n", folder.contents("cert.log"));
    log.updateEnvironment("certificationModeEnabled", "TRUE");
    EXPECT_EQ("", standardOutputOf("upper case switches off"));

    enable(folder.path() + "/missing/folder");
    EXPECT_EQ("echo\n", standardOutputOf("echo"));
    EXPECT_FALSE(QDir(QString::fromStdString(folder.path() + "/missing")).exists());
    ECTCertificationLogging copy(log);
    EXPECT_FALSE(copy.isLogging());
}

namespace {

std::atomic<int> libraryHandlerCalls{0};

void libraryHandler(QtMsgType, QMessageLogContext const&, QString const&)
{
    ++libraryHandlerCalls;
}

} // namespace

// Lost data reaches the host without certification mode: through the handler
// in place before the library's own, and not once more through the library's.
TEST(HostWarning, GoesToTheHandlerInPlaceBeforeTheLibrarysOwn)
{
    testsupport::QtWarnings host;
    HostWarning::report("lost before");
    const QtMessageHandler hostHandler = qInstallMessageHandler(libraryHandler);
    HostWarning::keepPreviousHandler(hostHandler);
    HostWarning::report("lost after");
    HostWarning::keepPreviousHandler(nullptr);
    qInstallMessageHandler(hostHandler);
    EXPECT_EQ(host.text(), "lost before\nlost after");
    EXPECT_EQ(libraryHandlerCalls, 0);
}
