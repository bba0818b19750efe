#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileRequests.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

using namespace recoverytest;

namespace {

class RecoveryConcurrency : public RecoveryFolderTest {};

} // namespace

// Savers on several connections' threads share terminals and change batches
// while the host lists and exports with erasing: every item ends up exactly
// once, exported or still open.
TEST_F(RecoveryConcurrency, ConcurrentSavesListingsAndExportsLoseNothing)
{
    manager.maxRecoveryFiles(1000000);
    const int threads = 6;
    const int perThread = std::getenv("ZUVA_TEST_SLOW") ? 8 : 30;
    const QString target = base.filePath("export");
    std::atomic<int> running(threads);
    std::atomic<int> failures(0);

    std::vector<std::thread> savers;
    for (int t = 0; t < threads; ++t) {
        savers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const int n = t * 1000 + i;
                const std::string terminal = "TERM000" + std::to_string(t % 3);
                const std::string batch = recordNumber(t * 100 + i / 4).substr(4);
                if (!manager.saveRecoveryItem(makeItem(terminal, "0000000A", batch,
                                                       localTime(2016, 3, 5, 11, 0, i), recordNumber(n))))
                    ++failures;
            }
            --running;
        });
    }
    int exports = 0;
    while (running > 0) {
        ect::RecoveryFileRequests::recoveryFilesJson(manager, nullptr);
        exports += ect::RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, target.toUtf8().constData(), 1);
    }
    for (auto& saver : savers)
        saver.join();
    ASSERT_EQ(ect::RecoveryFileRequests::extractRecoveryFiles(manager, nullptr, target.toUtf8().constData(), 1), 1);

    EXPECT_EQ(failures, 0);
    EXPECT_GT(exports, 0);
    EXPECT_TRUE(storedLogRecords(closedFolder()).empty());
    std::vector<std::string> found = exportedLogRecords(target);
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
