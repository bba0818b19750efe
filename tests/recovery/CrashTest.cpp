#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileUtil.h"

#include <QDir>

#include <cstdlib>
#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace recoverytest;

// A process killed in the middle of its saves keeps every item whose save
// had returned, and leaves only readable recovery files.
TEST_F(RecoveryFolderTest, ItemsSavedBeforeAKillSurviveIt)
{
    const std::size_t acknowledged = std::getenv("ZUVA_TEST_SLOW") ? 12 : 40;
    manager.maxRecoveryFiles(1000000);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Reports each number whose save returned true, until killed.
        for (int n = 0;; ++n) {
            const std::string batch = recordNumber(n / 5).substr(4);
            if (save(manager, "TERM0001", "0000000A", batch, localTime(2016, 3, 5, 11, 0, 0), recordNumber(n)) &&
                write(pipeFds[1], &n, sizeof n) != sizeof n)
                _exit(2);
        }
    }
    close(pipeFds[1]);
    std::vector<int> saved;
    int n = 0;
    while (saved.size() < acknowledged && read(pipeFds[0], &n, sizeof n) == sizeof n)
        saved.push_back(n);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (read(pipeFds[0], &n, sizeof n) == sizeof n)
        saved.push_back(n);
    close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(saved.size(), acknowledged);

    std::vector<std::string> stored = storedLogRecords(openFolder());
    const auto closed = storedLogRecords(closedFolder());
    stored.insert(stored.end(), closed.begin(), closed.end());
    const std::multiset<std::string> present(stored.begin(), stored.end());
    for (int number : saved)
        EXPECT_EQ(present.count(recordNumber(number)), 1u) << number;
    for (const QString& folder : {openFolder(), closedFolder()}) {
        const QStringList xmlFiles = QDir(folder).entryList({"*.xml"}, QDir::Files);
        EXPECT_EQ(ect::RecoveryFileUtil::readRecoveryFilesXml(folder).size(), static_cast<std::size_t>(xmlFiles.size()));
    }
}
