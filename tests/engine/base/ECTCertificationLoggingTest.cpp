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
    void enable(std::string const& folderPath, std::string const& name = "cert.log")
    {
        log.updateEnvironment("certificationFilePath", folderPath);
        log.updateEnvironment("certificationFileName", name);
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

TEST_F(ECTCertificationLoggingTest, SilentUntilFullyConfiguredAndCopiesStartSwitchedOff)
{
    log.updateEnvironment("certificationModeEnabled", "true");
    log.updateEnvironment("certificationFileName", "cert.log");
    EXPECT_EQ("", standardOutputOf("no folder yet"));
    log.updateEnvironment("certificationFilePath", folder.path());
    EXPECT_EQ("now\n", standardOutputOf("now"));
    EXPECT_EQ("now\n", folder.contents("cert.log"));

    log.updateEnvironment("certificationModeEnabled", "TRUE");
    EXPECT_EQ("", standardOutputOf("upper case switches off"));

    enable(folder.path());
    ECTCertificationLogging copy(log);
    EXPECT_FALSE(copy.isLogging());
    copy = log;
    EXPECT_FALSE(copy.isLogging());
}

TEST_F(ECTCertificationLoggingTest, WhereEntriesGo)
{
    // With or without a closing slash on the folder.
    for (const std::string name : {"slash.log", "plain.log"}) {
        enable(folder.path() + (name == "slash.log" ? "/" : ""), name);
        log.logWithoutDate(name);
        EXPECT_EQ(name + "\n", folder.contents(name));
    }

    // A file that cannot be opened still echoes to standard output.
    enable(folder.path() + "/missing/folder");
    EXPECT_EQ("echo\n", standardOutputOf("echo"));
    EXPECT_FALSE(QDir(QString::fromStdString(folder.path() + "/missing")).exists());
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
