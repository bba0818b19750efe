#pragma once

#include "recovery/ZUVARecoveryFileManager.h"
#include "recovery/ZUVARecoveryItem.h"
#include "tests/support/LocalTime.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace recoverytest {

// Local calendar time in the tests' fixed zone (Central European, with DST).
using testsupport::localTime;
qint64 secondsOf(const std::tm& time);

std::shared_ptr<ect::ZUVARecoveryItem> makeItem(const std::string& terminalId, const std::string& acquirerId,
                                                const std::string& batchId, const std::tm& date,
                                                const std::string& logRecord,
                                                const std::string& merchantUserId = "CASHIER1");

// A closed file of terminal 12345678, acquirer 0000000A, closed 2016-03-05 14:07:09.
std::shared_ptr<ect::ZUVARecoveryFileImpl> closedFile(const std::string& batchId = "0012");
void addTransaction(ect::ZUVARecoveryFileImpl& file, const std::string& merchant, const std::string& logRecord,
                    const std::tm& date = std::tm{});

QStringList fileNamesIn(const QString& folder);
QByteArray contentOf(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
// Every file below the folder, as paths relative to it.
QStringList allFilesBelow(const QString& folder);

// The certification log, switched on for the whole test program.
QString certificationLogText();

// A manager on a fresh temporary base folder with a clock the test sets.
class RecoveryFolderTest : public ::testing::Test {
protected:
    RecoveryFolderTest();

    std::shared_ptr<ect::ZUVARecoveryFileImpl> onlyOpenFile();
    QString openFolder() const { return manager.getOpenFolder(); }
    QString closedFolder() const { return manager.getClosedFolder(); }
    void setNow(const std::tm& time) { now = secondsOf(time); }

    QTemporaryDir base;
    std::atomic<qint64> now;
    ect::ZUVARecoveryFileManager manager;
};

// The log records of every transaction in the exports of a folder, for
// transactions whose merchant user is "CASHIER1" and whose record has 8 digits.
std::vector<std::string> exportedLogRecords(const QString& folder);
// The log records of every transaction in the recovery files of a folder.
std::vector<std::string> storedLogRecords(const QString& folder);
std::string recordNumber(int n);

} // namespace recoverytest
