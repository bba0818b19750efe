#include "RecoveryTestSupport.h"

#include "common/OwnFile.h"
#include "foundation/ExitAwaitedWork.h"
#include "foundation/ProcessExit.h"
#include "recovery/RecoveryClosingOrder.h"
#include "recovery/RecoveryFileRequests.h"
#include "recovery/RecoveryFileUtil.h"
#include "recovery/RecoveryFolderLock.h"
#include "recovery/RecoveryRefusedAtExit.h"
#include "support/QtWarnings.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <future>
#include <iostream>
#include <set>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace recoverytest;

namespace {

// The log records in the exports of a folder (merchant user CASHIER1, 8-digit records).
std::vector<std::string> exportedLogRecords(const QString& folder)
{
    const std::string marker = "9F160F" "4341534849455231" + std::string(14, '0');
    std::vector<std::string> records;
    for (const QString& name : fileNamesIn(folder)) {
        const std::string content = contentOf(QDir(folder).filePath(name)).toStdString();
        for (auto at = content.find(marker); at != std::string::npos; at = content.find(marker, at + 1))
            records.push_back(content.substr(at + marker.size(), 8));
    }
    return records;
}

// A process of its own that saves payments of the test's terminal into the
// base folder and tells the number of each one saved.
class SavingProcess {
public:
    SavingProcess(const QString& base, int count)
    {
        int saved[2];
        if (::pipe(saved) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(saved[0]);
            save(base, count, saved[1]);
        }
        ::close(saved[1]);
        saved_ = saved[0];
    }
    ~SavingProcess()
    {
        kill();
        ::close(saved_);
    }

    void kill()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
        end();
    }
    // Waits for the end; true when the process saved all it was asked to.
    bool end()
    {
        int status = 0;
        const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // The payments it said it saved, once it ended.
    std::vector<int> saved() const
    {
        std::vector<int> numbers;
        int number = 0;
        while (::read(saved_, &number, sizeof number) == sizeof number)
            numbers.push_back(number);
        return numbers;
    }

private:
    [[noreturn]] static void save(const QString& base, int count, int saved)
    {
        ect::ZUVARecoveryFileManager manager([] { return secondsOf(localTime(2016, 3, 5, 12, 0, 0)); });
        manager.recoveryFileFolder(base);
        for (int i = 0; i < count; ++i) {
            if (!recoverytest::save(manager, "TERM0001", "0000000A", "0012", localTime(2016, 3, 5, 11, 0, 0),
                                    recordNumber(i)) ||
                ::write(saved, &i, sizeof i) != sizeof i)
                ::_exit(1);
        }
        ::_exit(0);
    }

    pid_t pid_ = -1;
    int saved_ = -1;
};

// Whether a forked child ended with 0 in time; one that did not is ended.
bool endedWell(pid_t child)
{
    int status = 0;
    if (!testsupport::waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; })) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A file system whose inode numbers pass 32 bits (XFS with inode64, an
// overlay with xino): there the plain 32-bit stat calls fail, as these make
// them fail for the recovery folders while asked to; the 64-bit ones fail
// too for a status no call can read.
enum class StatFailure { None, Narrow, Every };
std::atomic<StatFailure> statFailure{StatFailure::None};
std::atomic<int> statError{0};

int statOf(int descriptor, void* status, StatFailure failing, int (*real)(int, void*))
{
    const StatFailure asked = statFailure;
    char link[64];
    char path[4096] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    if ((asked == failing || asked == StatFailure::Every) && asked != StatFailure::None &&
        ::readlink(link, path, sizeof path - 1) > 0 && std::strstr(path, "/bmrecovery/") != nullptr) {
        errno = statError;
        return -1;
    }
    return real(descriptor, status);
}

} // namespace

extern "C" int narrowFstat(int descriptor, void* status) __asm__("fstat");
extern "C" int wideFstat(int descriptor, void* status) __asm__("fstat64");

int narrowFstat(int descriptor, void* status)
{
    static const auto real = reinterpret_cast<int (*)(int, void*)>(::dlsym(RTLD_NEXT, "fstat"));
    return statOf(descriptor, status, StatFailure::Narrow, real);
}

int wideFstat(int descriptor, void* status)
{
    static const auto real = reinterpret_cast<int (*)(int, void*)>(::dlsym(RTLD_NEXT, "fstat64"));
    return statOf(descriptor, status, StatFailure::Every, real);
}

// Savers on several connections' threads share terminals and change batches
// while the host lists and exports with erasing: every item ends up exactly
// once, exported or still open.
TEST_F(RecoveryFolderTest, ConcurrentSavesListingsAndExportsLoseNothing)
{
    manager.maxRecoveryFiles(1000000);
    const int threads = 6;
    const int perThread = std::getenv("ZUVA_TEST_SLOW") ? 8 : 30;
    const QByteArray target = base.filePath("export").toUtf8();
    std::atomic<int> running(threads);
    std::atomic<int> failures(0);
    std::vector<std::thread> savers;
    for (int t = 0; t < threads; ++t) {
        savers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string batch = recordNumber(t * 100 + i / 4).substr(4);
                if (!save(manager, "TERM000" + std::to_string(t % 3), "0000000A", batch,
                          localTime(2016, 3, 5, 11, 0, i), recordNumber(t * 1000 + i)))
                    ++failures;
            }
            --running;
        });
    }
    int exports = 0;
    while (running > 0) {
        ect::RecoveryFileRequests::recoveryFilesJson(manager, nullptr);
        exports += ect::RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, target.constData(), 1);
    }
    for (auto& saver : savers)
        saver.join();
    ASSERT_EQ(ect::RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, target.constData(), 1), 1);

    EXPECT_EQ(failures, 0);
    EXPECT_GT(exports, 0);
    EXPECT_TRUE(storedLogRecords(closedFolder()).empty());
    std::vector<std::string> found = exportedLogRecords(QString::fromUtf8(target));
    const auto open = storedLogRecords(openFolder());
    found.insert(found.end(), open.begin(), open.end());
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected;
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            expected.push_back(recordNumber(t * 1000 + i));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

// Two processes save into one folder at once, one of them killed at some
// moment or not: every file stays whole and no saved payment is lost.
TEST_F(RecoveryFolderTest, TwoProcessesSavingIntoOneFolderLoseNothing)
{
    const int perProcess = std::getenv("ZUVA_TEST_SLOW") ? 30 : 100;
    struct Row {
        const char* name;
        int killAfter; // the other process is killed after this many own saves; -1: never
    };
    for (const Row& row : {Row{"both save all", -1}, Row{"the other killed as it saves", perProcess / 3}}) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        SavingProcess other(folder.path(), perProcess);
        std::vector<std::string> expected;
        for (int i = 0; i < perProcess; ++i) {
            if (i == row.killAfter)
                other.kill();
            EXPECT_TRUE(save(manager, "TERM0001", "0000000A", "0012", localTime(2016, 3, 5, 11, 0, 0),
                             recordNumber(100000 + i)));
            expected.push_back(recordNumber(100000 + i));
        }
        EXPECT_EQ(other.end(), row.killAfter < 0);
        const std::vector<int> saved = other.saved();
        if (row.killAfter < 0) {
            EXPECT_EQ(saved.size(), static_cast<std::size_t>(perProcess));
        }
        for (int number : saved)
            expected.push_back(recordNumber(number));

        const QStringList files = QDir(openFolder()).entryList({"*.xml"}, QDir::Files);
        EXPECT_EQ(ect::RecoveryFileUtil::readRecoveryFilesXml(openFolder()).size(), static_cast<std::size_t>(files.size()));
        const std::vector<std::string> stored = storedLogRecords(openFolder());
        const std::set<std::string> distinct(stored.begin(), stored.end());
        EXPECT_EQ(distinct.size(), stored.size());
        std::vector<std::string> missing;
        for (const std::string& record : expected)
            if (!distinct.count(record))
                missing.push_back(record);
        EXPECT_TRUE(missing.empty()) << missing.size() << " of " << expected.size() << " missing";
    }
}

// The folder's lock keeps other processes out until its holder lets go or
// ends, a wait that has an end; a child forked while it is held has no share.
TEST(RecoveryFolderLock, KeepsOtherProcessesOutUntilTheHolderEnds)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath("lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    {
        const ect::RecoveryFolderLock held(path);
        const pid_t child = ::fork();
        if (child == 0) {
            struct stat lock {};
            struct stat open {};
            int shares = 0;
            ::stat(QFile::encodeName(path).constData(), &lock);
            for (int descriptor = 0; descriptor < 1024; ++descriptor)
                shares += ::fstat(descriptor, &open) == 0 && open.st_ino == lock.st_ino && open.st_dev == lock.st_dev;
            ::_exit(::write(ready[1], shares == 0 ? "c" : "x", 1) == 1 ? 0 : 1);
        }
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    EXPECT_EQ(signal, 'c') << "the child holds the lock's descriptor";

    const pid_t holder = ::fork();
    if (holder == 0) {
        const ect::RecoveryFolderLock held(path);
        if (::write(ready[1], "h", 1) == 1)
            ::pause();
        ::_exit(1);
    }
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    {
        const ect::RecoveryFolderLock waited(path, std::chrono::milliseconds(50));
        EXPECT_TRUE(waited.missing().contains("not taken within 50 ms")) << waited.missing().toStdString();
    }
    ::kill(holder, SIGKILL);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    const ect::RecoveryFolderLock taken(path);
    EXPECT_EQ(taken.missing(), QString());
    ::close(ready[0]);
    ::close(ready[1]);
}

// A lock file another process removes while it is opened is made again, or
// the lock is told not taken: never taken for a folder that is not there.
TEST(RecoveryFolderLock, AFileRemovedWhileOpenedIsNotTakenForAMissingFolder)
{
    const QTemporaryDir folder;
    const std::string path = QFile::encodeName(folder.filePath("lock")).toStdString();
    std::atomic<bool> done{false};
    std::thread remover([&] {
        while (!done) {
            const int made = ::open(path.c_str(), O_RDONLY | O_CREAT, 0600);
            if (made >= 0)
                ::close(made);
            ::unlink(path.c_str());
        }
    });
    int takenForMissing = 0;
    for (int opening = 0; opening < 20000; ++opening) {
        std::string refusal;
        const int file = ect::OwnFile::open(path, O_RDONLY | O_CREAT, refusal);
        takenForMissing += file < 0 && refusal.empty() && errno == ENOENT;
        if (file >= 0)
            ::close(file);
    }
    done = true;
    remover.join();
    EXPECT_EQ(takenForMissing, 0);
}

namespace {

QString recoveryPath(const QString& base, const char* name)
{
    return QDir(base).filePath(QStringLiteral("bmrecovery/") + name);
}

unsigned modeOf(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

} // namespace

// Another user who can write to the working directory plants links, FIFOs or
// second names where the folder's own files lie: none is written through,
// none holds a sale up, and the host hears why the file was not used.
TEST_F(RecoveryFolderTest, FilesPlantedInTheFolderAreNeitherFollowedNorWaitedOn)
{
    const auto symlinkTo = [](const char* target) {
        return [target](const QString& base, const QString& at) {
            ASSERT_EQ(::symlink(QFile::encodeName(QDir(base).filePath(target)).constData(), QFile::encodeName(at).constData()), 0);
        };
    };
    const auto fifo = [](const QString&, const QString& at) { ASSERT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0666), 0); };
    const auto secondName = [](const QString& base, const QString& at) {
        ASSERT_EQ(::link(QFile::encodeName(QDir(base).filePath("victim")).constData(), QFile::encodeName(at).constData()), 0);
    };
    const struct {
        const char* name;
        const char* file;
        std::function<void(const QString& base, const QString& at)> plant;
        const char* told;
        // Nothing is renamed over a folder: with no order written, no file is closed.
        bool closes = true;
    } rows[] = {
        {"closing order linked to a file only its owner reads", "closing-order", symlinkTo("victim"), "symbolic link"},
        {"lock linked to a path that does not exist", "lock", symlinkTo("nowhere"), "symbolic link"},
        {"lock a FIFO", "lock", fifo, "not a regular file"},
        {"closing order a FIFO", "closing-order", fifo, "not a regular file"},
        {"closing order a folder", "closing-order",
         [](const QString&, const QString& at) { ASSERT_TRUE(QDir().mkdir(at)); }, "Is a directory", false},
        {"lock a second name of another file", "lock", secondName, "another name"},
        {"closing order's new file a crash left", "closing-order.new",
         [](const QString&, const QString& at) { writeBytes(at, "half"); }, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        writeBytes(folder.filePath("victim"), "its owner's alone\n");
        ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
        const QString planted = recoveryPath(folder.path(), row.file);
        QFile::remove(planted);
        row.plant(folder.path(), planted);
        testsupport::QtWarnings warnings;
        bool saved = false;
        EXPECT_TRUE(endsInTime([&] { return save(manager, "T1", "0000000A", "0013", localTime(2016, 3, 5, 10, 0, 0), "AA02"); },
                               planted, saved));
        EXPECT_TRUE(saved);
        EXPECT_EQ(contentOf(folder.filePath("victim")), "its owner's alone\n");
        EXPECT_FALSE(QFileInfo::exists(folder.filePath("nowhere")));
        if (row.told) {
            EXPECT_TRUE(warnings.text().contains(planted)) << warnings.text().toStdString();
            EXPECT_TRUE(warnings.text().contains(row.told)) << warnings.text().toStdString();
        } else {
            // Nor is a folder's first closing, with no order yet, anything to warn of.
            EXPECT_EQ(warnings.text(), QString()) << warnings.text().toStdString();
        }
        EXPECT_EQ(fileNamesIn(closedFolder()).size(), row.closes ? 1 : 0);
        if (!row.closes)
            continue;
        const QString order = recoveryPath(folder.path(), "closing-order");
        // Read only once a plain file: a FIFO would hold the test up.
        ASSERT_EQ(modeOf(order), static_cast<unsigned>(S_IFREG | S_IRUSR | S_IWUSR));
        EXPECT_EQ(contentOf(order), fileNamesIn(closedFolder()).value(0).toUtf8() + "\n");
    }
}

// A closing order the process can't read is told, never rewritten in
// silence (a run as root leaves one: see the manager's tests), whatever
// keeps it from being read.
TEST(RecoveryClosingOrder, AnOrderThatCannotBeReadIsTold)
{
    const QTemporaryDir folder;
    writeBytes(folder.filePath("plain"), "");
    const QString order = folder.filePath("plain/closing-order");
    testsupport::QtWarnings warnings;
    ect::RecoveryClosingOrder(order, folder.path()).add("20160305100000-TIDT1-ACQ0000000A.xml");
    EXPECT_TRUE(warnings.text().contains("Closing order " + order + " not read, Not a directory"))
        << warnings.text().toStdString();
}

// A link another user plants where the next record file goes, its target
// there or not, is neither written nor read through.
TEST_F(RecoveryFolderTest, ALinkPlantedUnderARecordsNameIsNeverWrittenThrough)
{
    for (const bool targetThere : {false, true}) {
        SCOPED_TRACE(targetThere);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
        // Its target a record file too, one only its owner may read.
        const QString target = folder.filePath("victim");
        const QByteArray victim = contentOf(QDir(openFolder()).filePath("TIDT1-ACQ0000000A.xml"));
        if (targetThere)
            writeBytes(target, victim);
        const QString planted = QDir(openFolder()).filePath("TIDT2-ACQ0000000A.xml");
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(planted).constData()), 0);
        EXPECT_TRUE(save(manager, "T2", "0000000A", "0012", localTime(2016, 3, 5, 10, 0, 0), "AA02"));
        EXPECT_EQ(contentOf(target), targetThere ? victim : QByteArray());
        EXPECT_EQ(QFileInfo::exists(target), targetThere);
        EXPECT_EQ(storedLogRecords(openFolder()), (std::vector<std::string>{"AA01", "AA02"}));
        for (const QString& name : fileNamesIn(openFolder())) {
            const unsigned mode = modeOf(QDir(openFolder()).filePath(name));
            EXPECT_TRUE(mode == (S_IFREG | 0600u) || (targetThere && name == QFileInfo(planted).fileName()))
                << name.toStdString() << " " << std::oct << mode;
        }
        // Nor where the file a new batch closes goes, links at every closing date it could take.
        QDir().mkpath(closedFolder());
        for (const char* closedAt : {"20160305090000", "20160305100000", "20160305110000"}) {
            const QString closedName = QDir(closedFolder()).filePath(QString(closedAt) + "-TIDT1-ACQ0000000A.xml");
            ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(closedName).constData()), 0);
        }
        EXPECT_TRUE(save(manager, "T1", "0000000A", "0013", localTime(2016, 3, 5, 11, 0, 0), "AA03"));
        EXPECT_EQ(contentOf(target), targetThere ? victim : QByteArray());
        EXPECT_EQ(QFileInfo::exists(target), targetThere);
        EXPECT_EQ(storedLogRecords(closedFolder()), (std::vector<std::string>{"AA01"}));
    }
}

// The folder's own files are their owner's alone, whatever the umask, an
// earlier release's lock too: no other user can hold the lock and so hold up
// every backup sale.
TEST_F(RecoveryFolderTest, TheFoldersOwnFilesAreTheirOwnersAlone)
{
    // A umask that takes the owner's rights leaves folders only root can use.
    for (const mode_t mask : {mode_t(0), mode_t(0277)}) {
        if (mask != 0 && ::geteuid() != 0)
            continue;
        SCOPED_TRACE(mask);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        const mode_t before = ::umask(mask);
        EXPECT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
        EXPECT_TRUE(save(manager, "T1", "0000000A", "0013", localTime(2016, 3, 5, 10, 0, 0), "AA02"));
        ::umask(before);
        EXPECT_EQ(modeOf(recoveryPath(folder.path(), "lock")) & 0777, 0600u);
        EXPECT_EQ(modeOf(recoveryPath(folder.path(), "closing-order")) & 0777, 0600u);
    }
    manager.recoveryFileFolder(base.path());
    ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    const QString lock = recoveryPath(base.path(), "lock");
    ASSERT_EQ(::chmod(QFile::encodeName(lock).constData(), 0644), 0);
    ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 10, 1, 0), "AA03"));
    EXPECT_EQ(modeOf(lock) & 0777, 0600u);

    ASSERT_EQ(::chmod(QFile::encodeName(base.path()).constData(), 0755), 0);
    const AsOtherUser other;
    if (!other.acting())
        GTEST_SKIP() << "another user's open needs the suite to run as root";
    const int held = ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CLOEXEC);
    EXPECT_LT(held, 0);
    if (held >= 0)
        ::close(held);
}

// A lock that can't be used is never passed over in silence: the host hears
// why once for a run of operations without it, and again after one with it.
TEST_F(RecoveryFolderTest, ALockNotUsedIsToldOncePerRun)
{
    const struct {
        const char* name;
        std::function<bool(const QString& lock)> plant;
        const char* told;
    } rows[] = {
        {"a directory", [](const QString& lock) { return QDir().mkdir(lock); }, "not a regular file"},
        {"another user's file",
         [](const QString& lock) {
             writeBytes(lock, "");
             return ::chown(QFile::encodeName(lock).constData(), AsOtherUser::id, AsOtherUser::id) == 0;
         },
         "another user"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
        const QString lock = recoveryPath(folder.path(), "lock");
        QFile::remove(lock);
        if (!row.plant(lock)) {
            QFile::remove(lock);
            std::cout << "row skipped, another user's file needs the suite to run as root\n";
            continue;
        }
        testsupport::QtWarnings warnings;
        for (int i = 1; i <= 3; ++i)
            EXPECT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, i, 0), recordNumber(i)));
        EXPECT_EQ(manager.getRecoveryFiles().size(), 0u);
        EXPECT_EQ(warnings.text().count(lock + " not used"), 1) << warnings.text().toStdString();
        EXPECT_TRUE(warnings.text().contains(row.told)) << warnings.text().toStdString();
        QDir(lock).removeRecursively();
        QFile::remove(lock);
        EXPECT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 4, 0), recordNumber(4)));
        QFile::remove(lock);
        ASSERT_TRUE(row.plant(lock));
        EXPECT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 5, 0), recordNumber(5)));
        EXPECT_EQ(warnings.text().count(lock + " not used"), 2);
        EXPECT_EQ(storedLogRecords(openFolder()).size(), 6u);
    }
}

// The exit's refusal coming once a save has written its record: the save is
// told recorded, and the record is there; later requests touch nothing.
TEST_F(RecoveryFolderTest, ASaveRefusedAfterItsWriteIsToldRecorded)
{
    const QString folder = base.path();
    const pid_t child = ::fork();
    if (child == 0) {
        int reads = 0;
        // The clock is read before the record is stored and again after.
        ect::ZUVARecoveryFileManager exiting([&reads] {
            if (++reads == 2)
                vorsam::ExitAwaitedWork::refuseAndAwait();
            return secondsOf(localTime(2016, 3, 5, 12, 0, 0));
        });
        exiting.recoveryFileFolder(folder);
        int told = 1;
        try {
            told = save(exiting, "TERM0001", "0000000A", "0012", localTime(2016, 3, 5, 11, 0, 0), "AA01") ? 0 : 2;
        } catch (const ect::RecoveryRefusedAtExit&) {
            told = 3;
        }
        if (told == 0 && (!ect::RecoveryFileRequests::recoveryFilesJson(exiting, nullptr).empty() ||
                          ect::RecoveryFileRequests::extractRecoveryFiles(exiting, nullptr, "export", 1) != 0))
            told = 4;
        // An export under way stops before its next file.
        const QString target = folder + "/export";
        bool exported = true;
        try {
            ect::RecoveryFileUtil::extractRecoveryFiles({closedFile()}, target);
        } catch (const ect::RecoveryRefusedAtExit&) {
            exported = false;
        }
        if (told == 0 && (exported || !fileNamesIn(target).isEmpty()))
            told = 5;
        ::_exit(told);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "2: told not recorded, 3: refused, 4: a later request served, 5: an export went on";
    EXPECT_EQ(storedLogRecords(openFolder()), std::vector<std::string>{"AA01"});
}

// Every layer reads file status with 64-bit inode numbers: on a 32-bit build
// without them every backup sale would go unrecorded there, its lock unused
// and its closing order rewritten empty. A status no call can read is told
// by its error, not blamed on the folder's owner and mode.
TEST_F(RecoveryFolderTest, AStatusIsReadWhateverItsInodeAndAFailureToldByItsError)
{
    const struct {
        const char* name;
        StatFailure failing;
        int error;
        bool recorded;
    } rows[] = {
        {"inode numbers past 32 bits", StatFailure::Narrow, EOVERFLOW, true},
        {"a status no call can read", StatFailure::Every, EIO, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        manager.recoveryFileFolder(folder.path());
        testsupport::QtWarnings warnings;
        statError = row.error;
        statFailure = row.failing;
        bool saved = true;
        for (int batch = 1; batch <= 3; ++batch)
            saved = save(manager, "T1", "0000000A", "001" + std::to_string(batch), localTime(2016, 3, 5, 9, batch, 0),
                         recordNumber(batch)) && saved;
        const auto listed = manager.getRecoveryFiles().size();
        statFailure = StatFailure::None;
        const std::string told = warnings.text().toStdString();
        EXPECT_EQ(saved, row.recorded) << told;
        if (row.recorded) {
            EXPECT_EQ(listed, 2u) << told;
            EXPECT_EQ(contentOf(recoveryPath(folder.path(), "closing-order")).count('\n'), 2) << told;
            EXPECT_TRUE(told.empty()) << told;
        } else {
            EXPECT_NE(told.find(std::strerror(row.error)), std::string::npos) << told;
            EXPECT_EQ(told.find("owner and mode"), std::string::npos) << told;
        }
    }
}

// A thread of the parent inside a recovery operation as the parent forks: the
// child's own call is answered once that thread's work has let go of the
// folder, and the child's exit waits for no work of the parent's.
TEST_F(RecoveryFolderTest, AForkedChildIsAnsweredWhateverAParentThreadHeld)
{
    ASSERT_TRUE(save(manager, "T1", "0000000A", "0012", localTime(2016, 3, 5, 9, 0, 0), "AA01"));
    ASSERT_TRUE(save(manager, "T1", "0000000A", "0013", localTime(2016, 3, 5, 9, 1, 0), "AA02"));
    const pid_t parent = ::getpid();
    std::atomic<bool> inside{false};
    std::atomic<bool> letGo{false};
    // The clock is read with the manager's locks held.
    ect::ZUVARecoveryFileManager held([&] {
        inside = true;
        if (::getpid() == parent)
            testsupport::waitUntil([&] { return letGo.load(); });
        return now.load();
    });
    held.recoveryFileFolder(base.path());
    std::thread lister([&held] { held.getRecoveryFiles(); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return inside.load(); }));
    const pid_t child = ::fork();
    if (child == 0) {
        const bool listed = held.getRecoveryFiles().size() == 1;
        const auto exitBegan = std::chrono::steady_clock::now();
        vorsam::ExitAwaitedWork::refuseAndAwait();
        ::_exit(listed && std::chrono::steady_clock::now() - exitBegan < vorsam::ProcessExit::Limit ? 0 : 1);
    }
    letGo = true;
    lister.join();
    EXPECT_TRUE(endedWell(child)) << "the child's listing or its exit waited for the parent's thread";
}

// Ending the connections took the exit's whole limit: recovery work under
// way on another thread is still waited for, as it ends the file it is at,
// before the exit goes on to what its reading and writing use.
TEST(ExitAwaitedWork, WorkUnderWayIsWaitedForWhateverEndingTheConnectionsTook)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::atomic<bool> atWork{false};
        std::atomic<bool> fileEnded{false};
        std::thread([&] {
            const vorsam::ExitAwaitedWork work;
            atWork = true;
            testsupport::waitUntil([] { return vorsam::ExitAwaitedWork::refusing(); });
            fileEnded = true;
        }).detach();
        testsupport::waitUntil([&] { return atWork.load(); });
        vorsam::ProcessExit::begin();
        testsupport::waitUntil([] { return vorsam::ProcessExit::pastTheLimit(); }, 2 * vorsam::ProcessExit::Limit);
        vorsam::ExitAwaitedWork::refuseAndAwait();
        ::_exit(fileEnded ? 0 : 1);
    }
    EXPECT_TRUE(endedWell(child)) << "the exit went on while recovery work was at its file";
}

// The exit's own work (ending the connections, whose sales may still be
// approved and saved meanwhile) runs before recovery work is refused.
TEST(ExitAwaitedWork, IsRefusedOnlyOnceTheExitsOwnWorkHasRun)
{
    const pid_t child = ::fork();
    if (child == 0) {
        vorsam::ProcessExit::setWork([] { ::_exit(vorsam::ExitAwaitedWork::refusing() ? 2 : 0); });
        std::exit(1);
    }
    EXPECT_TRUE(endedWell(child)) << "recovery work refused before the exit's own work, or that work never ran";
}

// A listing under way as the exit refuses recovery work reads no further file.
TEST_F(RecoveryFolderTest, AListingStopsAtItsNextFileOnceTheExitRefuses)
{
    for (int batch = 10; batch < 13; ++batch)
        ASSERT_TRUE(save(manager, "T1", "0000000A", std::to_string(batch), localTime(2016, 3, 5, 9, batch, 0), "AA01"));
    const QString folder = base.path();
    const pid_t child = ::fork();
    if (child == 0) {
        // The clock is read before the folders are.
        ect::ZUVARecoveryFileManager exiting([] {
            vorsam::ExitAwaitedWork::refuseAndAwait();
            return secondsOf(localTime(2016, 3, 5, 12, 0, 0));
        });
        exiting.recoveryFileFolder(folder);
        try {
            exiting.getRecoveryFiles();
        } catch (const ect::RecoveryRefusedAtExit&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    EXPECT_TRUE(endedWell(child)) << "the listing read its files after the refusal";
}
