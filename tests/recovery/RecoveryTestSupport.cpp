#include "RecoveryTestSupport.h"

#include "engine/base/ECTCertificationLogging.h"
#include "recovery/RecoveryFileUtil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdlib>

namespace recoverytest {
namespace {

// Fixed before any test runs: Central European Time with its DST rules.
struct FixedZone {
    FixedZone()
    {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
} fixedZone;

QTemporaryDir& logFolder()
{
    static QTemporaryDir folder;
    return folder;
}

struct CertificationLogOn {
    CertificationLogOn()
    {
        auto& log = oxa::ECTCertificationLogging::sharedInstance();
        log.updateEnvironment("certificationFilePath", logFolder().path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }
} certificationLogOn;

} // namespace

qint64 secondsOf(const std::tm& time)
{
    std::tm copy = time;
    return static_cast<qint64>(std::mktime(&copy));
}

std::shared_ptr<ect::ZUVARecoveryItem> makeItem(const std::string& terminalId, const std::string& acquirerId,
                                                const std::string& batchId, const std::tm& date,
                                                const std::string& logRecord, const std::string& merchantUserId)
{
    auto item = std::make_shared<ect::ZUVARecoveryItem>();
    item->terminalId(terminalId);
    item->acquirerId(acquirerId);
    item->batchId(batchId);
    item->schemeId("A00000000401");
    item->creationDate(date);
    item->merchantUserId(merchantUserId);
    item->transactionLogRecord(logRecord);
    return item;
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

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList allFilesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QString certificationLogText()
{
    return QString::fromUtf8(contentOf(logFolder().filePath("certification.log")));
}

RecoveryFolderTest::RecoveryFolderTest()
    : now(secondsOf(localTime(2016, 3, 5, 12, 0, 0))), manager([this] { return now.load(); })
{
    manager.recoveryFileFolder(base.path());
}

std::shared_ptr<ect::ZUVARecoveryFileImpl> RecoveryFolderTest::onlyOpenFile()
{
    const auto files = ect::RecoveryFileUtil::readRecoveryFilesXml(openFolder());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? nullptr : files.front();
}

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
