#include "recovery/RecoveryFileRequests.h"

#include "recovery/RecoveryLog.h"
#include "recovery/RecoveryRefusedAtExit.h"
#include "recovery/ZUVARecoveryFileManager.h"

#include "foundation/ExitAwaitedWork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace ect {
namespace {

ZUVARecoveryFileManager::Files selectedFiles(ZUVARecoveryFileManager& manager, const char* terminalId)
{
    return terminalId ? manager.getRecoveryFiles(QString::fromUtf8(terminalId)) : manager.getRecoveryFiles();
}

QJsonObject describe(const ZUVARecoveryFile& file, const QString& fileName)
{
    const auto text = [](const std::string& value) { return QString::fromStdString(value); };
    return QJsonObject{
        {QStringLiteral("acquirerId"), text(file.acquirerId())},
        {QStringLiteral("terminalId"), text(file.terminalId())},
        {QStringLiteral("schemeId"), text(file.schemeId())},
        {QStringLiteral("batchId"), text(file.batchId())},
        {QStringLiteral("closingDate"), QString::number(RecoveryCalendar::toSeconds(file.closingDate()))},
        {QStringLiteral("content"), text(file.content())},
        {QStringLiteral("fileName"), fileName},
    };
}

std::string listing(ZUVARecoveryFileManager& manager, const char* terminalId)
{
    const auto files = selectedFiles(manager, terminalId);
    const QStringList names = RecoveryFileUtil::exportFileNames(files);
    QJsonArray array;
    for (std::size_t i = 0; i < files.size(); ++i)
        array.append(describe(*files[i], names[static_cast<int>(i)]));
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

void logFailure(const char* operation, const char* reason)
{
    RecoveryLog::warning(QStringLiteral("%1 failed: %2").arg(QLatin1String(operation), QString::fromUtf8(reason)));
}

} // namespace

// The warnings go to the host's handler once the exit no longer waits for
// the request: that handler may block.
std::string RecoveryFileRequests::recoveryFilesJson(const char* terminalId)
{
    const RecoveryLog::HeldWarnings warnings;
    const vorsam::ExitAwaitedWork work;
    return work.admitted() ? recoveryFilesJson(ZUVARecoveryFileManager::instance(), terminalId) : std::string();
}

std::string RecoveryFileRequests::recoveryFilesJson(ZUVARecoveryFileManager& manager, const char* terminalId)
{
    try {
        return listing(manager, terminalId);
    } catch (const RecoveryRefusedAtExit&) {
        return std::string();
    } catch (const std::exception& error) {
        logFailure("Listing recovery files", error.what());
    } catch (...) {
        logFailure("Listing recovery files", "unknown exception");
    }
    return "[]";
}

int RecoveryFileRequests::extractRecoveryFiles(const char* terminalId, const char* folder, int eraseMode)
{
    const RecoveryLog::HeldWarnings warnings;
    const vorsam::ExitAwaitedWork work;
    return work.admitted() ? extractRecoveryFiles(ZUVARecoveryFileManager::instance(), terminalId, folder, eraseMode)
                           : 0;
}

int RecoveryFileRequests::extractRecoveryFiles(ZUVARecoveryFileManager& manager, const char* terminalId,
                                               const char* folder, int eraseMode)
{
    if (!folder || !*folder) {
        logFailure("Exporting recovery files", "no target folder");
        return 0;
    }
    try {
        return manager.extractRecoveryFiles(selectedFiles(manager, terminalId), QString::fromUtf8(folder),
                                            static_cast<ZUVARecoveryFileEraseMode>(eraseMode))
            ? 1
            : 0;
    } catch (const RecoveryRefusedAtExit&) {
        return 0;
    } catch (const std::exception& error) {
        logFailure("Exporting recovery files", error.what());
    } catch (...) {
        logFailure("Exporting recovery files", "unknown exception");
    }
    return 0;
}

} // namespace ect
