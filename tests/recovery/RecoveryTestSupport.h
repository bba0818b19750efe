#pragma once

#include "recovery/ZUVARecoveryFileManager.h"
#include "tests/support/FileText.h"
#include "tests/support/LocalTime.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace recoverytest {

// Local calendar time in the tests' fixed zone (Central European, with DST).
using testsupport::localTime;
qint64 secondsOf(const std::tm& time);

// Saves an item of scheme A00000000401 and merchant user CASHIER1.
bool save(ect::ZUVARecoveryFileManager& manager, const std::string& terminalId, const std::string& acquirerId,
          const std::string& batchId, const std::tm& date, const std::string& logRecord);

// A closed file of terminal 12345678, acquirer 0000000A, closed 2016-03-05 14:07:09.
std::shared_ptr<ect::ZUVARecoveryFileImpl> closedFile(const std::string& batchId = "0012");
void addTransaction(ect::ZUVARecoveryFileImpl& file, const std::string& merchant, const std::string& logRecord,
                    const std::tm& date = std::tm{});

QStringList fileNamesIn(const QString& folder);
using testsupport::contentOf;
void writeBytes(const QString& path, const QByteArray& bytes);

// The certification log, switched on for the whole test program.
QString certificationLogText();

// The log records of every transaction in the recovery files of a folder.
std::vector<std::string> storedLogRecords(const QString& folder);
std::string recordNumber(int n);

// Runs the work on a thread of its own: true when it ends within the deadline.
// Work blocked opening the FIFO is let go by a writer's open, so the test ends.
bool endsInTime(const std::function<bool()>& work, const QString& fifo, bool& result);

// The test process acting as another user, one no account names, for a scope:
// only a process running as root can, and acting() tells whether it does.
class AsOtherUser {
public:
    static constexpr unsigned id = 54321;
    AsOtherUser();
    ~AsOtherUser();
    AsOtherUser(const AsOtherUser&) = delete;
    AsOtherUser& operator=(const AsOtherUser&) = delete;
    bool acting() const { return acting_; }

private:
    bool acting_ = false;
};

// A manager on a fresh temporary base folder with a clock the test sets.
class RecoveryFolderTest : public ::testing::Test {
protected:
    RecoveryFolderTest();

    QString openFolder() const { return manager.getOpenFolder(); }
    QString closedFolder() const { return manager.getClosedFolder(); }

    QTemporaryDir base;
    std::atomic<qint64> now;
    ect::ZUVARecoveryFileManager manager;
};

} // namespace recoverytest
