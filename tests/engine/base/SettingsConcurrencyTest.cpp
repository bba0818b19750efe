#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/OXAEnvironment.h"
#include "tests/support/FileText.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace oxa;

namespace {

constexpr int threadCount = 4;

// The text of a file in the folder.
std::string contents(QTemporaryDir const& folder, char const* name)
{
    return testsupport::contentOf(folder.filePath(name)).toStdString();
}

QJsonObject timeoutSettings(int timeout)
{
    return QJsonObject{{"serviceSettings", QJsonObject{{"connectionAdviceTimeout", timeout}, {"currencyCode", "EUR"}}}};
}

int countMatches(std::string const& text, std::regex const& entry)
{
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), entry), std::sregex_iterator()));
}

} // namespace

TEST(SettingsConcurrencyTest, ReadersNeverSeeAHalfReplacedStore)
{
    std::unique_ptr<OXAEnvironment> environment = makeOXAEnvironment();
    environment->update(timeoutSettings(1000));
    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::vector<std::thread> readers;
    for (int reader = 0; reader < threadCount; ++reader) {
        readers.emplace_back([&] {
            while (!done) {
                int const timeout = environment->get("connectionAdviceTimeout").toInt();
                QJsonObject const all = environment->toJson().value("serviceSettings").toObject();
                if ((timeout != 1000 && timeout != 2000) || all.size() != 2)
                    ++badReads;
            }
        });
    }
    for (int round = 0; round < 300; ++round)
        environment->update(timeoutSettings(round % 2 ? 1000 : 2000));
    done = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(0, badReads.load());
    makeOXAEnvironment(); // certification mode off again
}

TEST(SettingsConcurrencyTest, LoggingWhileTheDestinationChanges)
{
    QTemporaryDir folder;
    ECTCertificationLogging log;
    log.updateEnvironment("certificationFilePath", folder.path().toStdString());
    log.updateEnvironment("certificationFileName", "a.log");
    log.updateEnvironment("certificationModeEnabled", "true");

    constexpr int entriesPerThread = 200;
    std::atomic<int> writersRunning{threadCount};
    std::vector<std::thread> writers;
    ::testing::internal::CaptureStdout();
    for (int writer = 0; writer < threadCount; ++writer) {
        writers.emplace_back([&, writer] {
            for (int entry = 0; entry < entriesPerThread; ++entry)
                log.log("writer " + std::to_string(writer) + " entry " + std::to_string(entry) + " end");
            --writersRunning;
        });
    }
    for (int round = 0; writersRunning > 0; ++round) {
        log.updateEnvironment("certificationFileName", round % 2 ? "a.log" : "b.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }
    for (std::thread& writer : writers)
        writer.join();
    ::testing::internal::GetCapturedStdout();

    std::regex const entry(R"((^|\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: writer \d entry \d+ end(?=\n))");
    std::string const a = contents(folder, "a.log");
    std::string const b = contents(folder, "b.log");
    EXPECT_EQ(threadCount * entriesPerThread, countMatches(a, entry) + countMatches(b, entry));
    EXPECT_EQ(static_cast<std::size_t>(threadCount * entriesPerThread),
              std::count(a.begin(), a.end(), '\n') + std::count(b.begin(), b.end(), '\n'));
}

TEST(SettingsConcurrencyTest, SharedLogAndStoreFromManyThreads)
{
    QTemporaryDir folder;
    std::shared_ptr<OXAEnvironment> const environment = sharedOXAEnvironment();
    auto const settingsFor = [&](char const* name) {
        return QJsonObject{{"serviceSettings", QJsonObject{{"certificationFilePath", folder.path()},
                                                           {"certificationFileName", name},
                                                           {"certificationModeEnabled", true}}}};
    };
    environment->update(settingsFor("shared.log"));

    std::atomic<bool> done{false};
    std::atomic<int> usersThatLogged{0};
    std::vector<std::thread> users;
    ::testing::internal::CaptureStdout();
    for (int user = 0; user < threadCount; ++user) {
        users.emplace_back([&] {
            for (bool logged = false; !done; logged = true) {
                environment->get("certificationFileName");
                ECTCertificationLogging::sharedInstance().logWithoutDate("traffic");
                if (!logged)
                    ++usersThatLogged;
            }
        });
    }
    // However the threads are scheduled, every user logs while the store changes.
    for (int round = 0; round < 100 || usersThatLogged < threadCount; ++round)
        environment->update(settingsFor(round % 2 ? "shared.log" : "other.log"));
    done = true;
    for (std::thread& user : users)
        user.join();
    ::testing::internal::GetCapturedStdout();
    environment->update(QJsonObject{{"serviceSettings", QJsonObject{{"certificationModeEnabled", false}}}});

    std::string const both = contents(folder, "shared.log") + contents(folder, "other.log");
    std::string const line = "traffic\n";
    ASSERT_FALSE(both.empty());
    EXPECT_EQ(0u, both.size() % line.size());
    for (std::size_t at = 0; at < both.size(); at += line.size())
        ASSERT_EQ(line, both.substr(at, line.size())) << "at " << at;
}
