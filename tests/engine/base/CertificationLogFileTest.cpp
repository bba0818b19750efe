#include "engine/base/ECTCertificationLogging.h"
#include "support/QtWarnings.h"
#include "tests/support/FileText.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace oxa;

namespace {

QString content(QString const& path, mode_t mode)
{
    if (S_ISLNK(mode))
        return QFile::symLinkTarget(path);
    return S_ISREG(mode) ? QString(testsupport::contentOf(path)) : QString();
}

// What a folder holds: each entry's name, type, mode, owner and content or link target.
std::string stateOf(QString const& folder)
{
    std::string state;
    for (QString const& name : QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        QString const path = folder + '/' + name;
        struct stat status {};
        ::lstat(path.toLocal8Bit().constData(), &status);
        state += name.toStdString() + ' ' + std::to_string(status.st_mode) + ' ' + std::to_string(status.st_uid) + ' '
                 + content(path, status.st_mode).toStdString() + '\n';
    }
    return state;
}

// Logs on a thread of its own, so that an open that blocks fails the row, not the run;
// adds what went to standard output to the copy.
bool logReturns(ECTCertificationLogging const& log, std::string const& text, std::string const& path,
                std::string& copy)
{
    ::testing::internal::CaptureStdout();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        log.logWithoutDate(text);
        done = true;
    });
    bool const returned = testsupport::waitUntil([&] { return done.load(); });
    int const reader = returned ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK); // lets a FIFO's writer go
    writer.join();
    if (reader >= 0)
        ::close(reader);
    copy += ::testing::internal::GetCapturedStdout();
    return returned;
}

int permissionsOf(std::string const& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
}

} // namespace

// The log holds card data: its file is its user's alone, and whatever another user put under
// its name takes nothing of it (the host told once for each run of refused lines) until the
// name is free again.
TEST(CertificationLogFile, MadeForItsUserAloneAndNeverWrittenIntoWhatOthersPlanted)
{
    // Puts something under the log's name; returns whether it could.
    using Plant = std::function<bool(std::string const& path, std::string const& other)>;
    struct Row {
        char const* name;
        mode_t umask;
        bool needsRoot;
        Plant plant;
        bool reader; // the name held open for reading, as a FIFO's reader
    };
    auto const fifo = [](std::string const& path, std::string const&) { return ::mkfifo(path.c_str(), 0666) == 0; };
    Row const rows[] = {
        {"umask 000", 0, false, nullptr, false},
        {"umask 022", 022, false, nullptr, false},
        {"umask 077", 077, false, nullptr, false},
        {"symbolic link to another file", 022, false,
         [](std::string const& path, std::string const& other) { return ::symlink(other.c_str(), path.c_str()) == 0; },
         false},
        {"dangling symbolic link", 022, false,
         [](std::string const& path, std::string const& other) {
             return ::symlink((other + ".missing").c_str(), path.c_str()) == 0;
         },
         false},
        {"file of another user", 022, true,
         [](std::string const& path, std::string const& other) {
             return ::rename(other.c_str(), path.c_str()) == 0 && ::chown(path.c_str(), 65534, 65534) == 0;
         },
         false},
        {"second name of another file", 022, false,
         [](std::string const& path, std::string const& other) { return ::link(other.c_str(), path.c_str()) == 0; },
         false},
        {"FIFO with a reader", 022, false, fifo, true},
        {"FIFO without a reader", 022, false, fifo, false},
    };
    bool skipped = false;
    for (Row const& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && ::geteuid() != 0) {
            skipped = true;
            continue;
        }
        QTemporaryDir folder;
        std::string const path = folder.filePath("certification.log").toStdString();
        std::string const other = folder.filePath("other.txt").toStdString();
        testsupport::QtWarnings host;
        ECTCertificationLogging log;
        log.updateEnvironment("certificationFilePath", folder.path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", "true");
        QFile otherFile(QString::fromStdString(other));
        ASSERT_TRUE(otherFile.open(QIODevice::WriteOnly));
        otherFile.write("other's\n");
        otherFile.close();
        ASSERT_TRUE(!row.plant || row.plant(path, other));
        int const reader = row.reader ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        std::string const before = stateOf(folder.path());
        mode_t const umask = ::umask(row.umask);
        std::string copy;
        EXPECT_TRUE(logReturns(log, "first", path, copy));
        EXPECT_TRUE(logReturns(log, "second", path, copy));
        ::umask(umask);
        if (row.plant) {
            char byte = 0;
            EXPECT_GE(0, row.reader ? ::read(reader, &byte, 1) : 0);
            EXPECT_EQ(before, stateOf(folder.path()));
            EXPECT_EQ(1, host.text().count("certification log is not written"));
            ::unlink(path.c_str());
            EXPECT_TRUE(logReturns(log, "third", path, copy));
        }
        EXPECT_EQ(row.plant ? "third\n" : "first\nsecond\n", testsupport::contentOf(QString::fromStdString(path)));
        EXPECT_EQ(0600, permissionsOf(path));
        EXPECT_NE(std::string::npos, copy.find("first\n")) << copy;
        EXPECT_NE(std::string::npos, copy.find("second\n")) << copy;
        if (reader >= 0)
            ::close(reader);
        // Planted again after a line was written: the host is told again.
        if (row.plant) {
            ::unlink(path.c_str());
            ASSERT_TRUE(otherFile.open(QIODevice::WriteOnly));
            otherFile.close();
            ASSERT_TRUE(row.plant(path, other));
            EXPECT_TRUE(logReturns(log, "fourth", path, copy));
            EXPECT_EQ(2, host.text().count("certification log is not written"));
        }
    }
    if (skipped)
        GTEST_SKIP() << "the file of another user needs root";
}
