#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileUtil.h"

#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace recoverytest;

namespace {

// Saves items until killed; reports each number whose save returned true.
[[noreturn]] void saveUntilKilled(const QString& base, int reportFd)
{
    ect::ZUVARecoveryFileManager manager([] { return secondsOf(localTime(2016, 3, 5, 12, 0, 0)); });
    manager.recoveryFileFolder(base);
    manager.maxRecoveryFiles(1000000);
    for (int n = 0;; ++n) {
        const std::string batch = recordNumber(n / 5).substr(4);
        if (save(manager, "TERM0001", "0000000A", batch, localTime(2016, 3, 5, 11, 0, 0), recordNumber(n))) {
            if (write(reportFd, &n, sizeof n) != sizeof n)
                _exit(2);
        }
    }
}

std::vector<int> readNumbers(int fd, std::size_t atLeast)
{
    std::vector<int> numbers;
    int n = 0;
    while (numbers.size() < atLeast && read(fd, &n, sizeof n) == sizeof n)
        numbers.push_back(n);
    return numbers;
}

} // namespace

// A process killed in the middle of its saves keeps every item whose save
// had returned, and leaves only readable recovery files.
TEST_F(RecoveryFolderTest, ItemsSavedBeforeAKillSurviveIt)
{
    const std::size_t acknowledged = std::getenv("ZUVA_TEST_SLOW") ? 12 : 40;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        saveUntilKilled(base.path(), pipeFds[1]);
    }
    close(pipeFds[1]);
    std::vector<int> saved = readNumbers(pipeFds[0], acknowledged);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::vector<int> late = readNumbers(pipeFds[0], SIZE_MAX);
    close(pipeFds[0]);
    saved.insert(saved.end(), late.begin(), late.end());
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(saved.size(), acknowledged);

    std::vector<std::string> stored = storedLogRecords(manager.getOpenFolder());
    const auto closed = storedLogRecords(manager.getClosedFolder());
    stored.insert(stored.end(), closed.begin(), closed.end());
    const std::multiset<std::string> present(stored.begin(), stored.end());
    for (int n : saved)
        EXPECT_EQ(present.count(recordNumber(n)), 1u) << n;
    for (const QString& folder : {manager.getOpenFolder(), manager.getClosedFolder()}) {
        const QStringList xmlFiles = QDir(folder).entryList({"*.xml"}, QDir::Files);
        EXPECT_EQ(ect::RecoveryFileUtil::readRecoveryFilesXml(folder).size(), static_cast<std::size_t>(xmlFiles.size()));
    }
}
