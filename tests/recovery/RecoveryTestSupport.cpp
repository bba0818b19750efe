#include "RecoveryTestSupport.h"

#include "tests/support/CertificationLog.h"
#include "recovery/RecoveryFileUtil.h"
#include "recovery/ZUVARecoveryItem.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <future>

#include <fcntl.h>

#include <unistd.h>

namespace recoverytest {
namespace {

// Fixed before any test runs: Central European Time with its DST rules, and
// the certification log on, in a folder of its own.
struct Environment {
    Environment()
    {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }

    testsupport::CertificationLog log;
} environment;

} // namespace

qint64 secondsOf(const std::tm& time)
{
    std::tm copy = time;
    return static_cast<qint64>(std::mktime(&copy));
}

bool save(ect::ZUVARecoveryFileManager& manager, const std::string& terminalId, const std::string& acquirerId,
          const std::string& batchId, const std::tm& date, const std::string& logRecord)
{
    auto item = std::make_shared<ect::ZUVARecoveryItem>();
    item->terminalId(terminalId);
    item->acquirerId(acquirerId);
    item->batchId(batchId);
    item->schemeId("A00000000401");
    item->creationDate(date);
    item->merchantUserId("CASHIER1");
    item->transactionLogRecord(logRecord);
    return manager.saveRecoveryItem(item);
}

std::shared_ptr<ect::ZUVARecoveryFileImpl> closedFile(const std::string& batchId)
{
    auto file = std::make_shared<ect::ZUVARecoveryFileImpl>();
    file->setAcquirerId("0000000A");
    file->setTerminalId("12345678");
    file->setSchemeId("A00000000401");
    file->setBatchId(batchId);
    file->setClosingDate(localTime(2016, 3, 5, 14, 7, 9));
    return file;
}

void addTransaction(ect::ZUVARecoveryFileImpl& file, const std::string& merchant, const std::string& logRecord,
                    const std::tm& date)
{
    auto transaction = std::make_shared<ect::ZUVARecoveryFileTransaction>();
    transaction->setMerchantUserId(merchant);
    transaction->setLogRecord(logRecord);
    transaction->setDate(date);
    auto transactions = file.transactions();
    transactions.push_back(transaction);
    file.setTransactions(transactions);
}

QStringList fileNamesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString certificationLogText()
{
    return environment.log.text();
}

AsOtherUser::AsOtherUser()
{
    acting_ = ::geteuid() == 0 && ::setegid(id) == 0;
    if (acting_ && ::seteuid(id) != 0) {
        acting_ = false;
        ::setegid(0);
    }
}

AsOtherUser::~AsOtherUser()
{
    if (!acting_)
        return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0)
        std::abort();
}

bool endsInTime(const std::function<bool()>& work, const QString& fifo, bool& result)
{
    auto done = std::async(std::launch::async, work);
    const bool inTime = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0)
            ::close(writer);
    }
    result = done.get();
    return inTime;
}

RecoveryFolderTest::RecoveryFolderTest()
    : now(secondsOf(localTime(2016, 3, 5, 12, 0, 0))), manager([this] { return now.load(); })
{
    manager.recoveryFileFolder(base.path());
}

std::vector<std::string> storedLogRecords(const QString& folder)
{
    std::vector<std::string> records;
    for (const auto& file : ect::RecoveryFileUtil::readRecoveryFilesXml(folder)) {
        for (const auto& transaction : file->transactions())
            records.push_back(transaction->logRecord());
    }
    return records;
}

std::string recordNumber(int n)
{
    return QStringLiteral("%1").arg(n, 8, 16, QLatin1Char('0')).toUpper().toStdString();
}

} // namespace recoverytest
