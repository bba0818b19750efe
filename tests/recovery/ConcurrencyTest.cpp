#include "RecoveryTestSupport.h"

#include "recovery/RecoveryFileRequests.h"

#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <thread>

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

} // namespace

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
