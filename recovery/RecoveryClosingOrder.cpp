#include "recovery/RecoveryClosingOrder.h"

#include "recovery/DurableFileWriter.h"
#include "recovery/RecoveryCalendar.h"
#include "recovery/RecoveryLog.h"

#include "common/OwnFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ect {

RecoveryClosingOrder::RecoveryClosingOrder(const QString& path, const QString& closedFolder)
    : path_(path), closedFolder_(closedFolder)
{
}

bool RecoveryClosingOrder::add(const QString& closedName) const
{
    const QDir closed(closedFolder_);
    QStringList kept;
    for (const QString& name : names()) {
        if (name != closedName && QFileInfo::exists(closed.filePath(name)))
            kept << name;
    }
    kept << closedName;
    QString error;
    if (DurableFileWriter::writeOwn(path_, (kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(), &error))
        return true;
    RecoveryLog::warning(QStringLiteral("Failed to write file %1: %2").arg(path_, error));
    return false;
}

std::shared_ptr<ZUVARecoveryFileImpl> RecoveryClosingOrder::first(const RecoveryFileUtil::StoredFiles& closed) const
{
    const QStringList order = names();
    const auto rank = [&order](const std::shared_ptr<ZUVARecoveryFileImpl>& file) {
        const int at = order.indexOf(QFileInfo(file->storedPath()).fileName());
        return std::make_pair(at, at < 0 ? RecoveryCalendar::toSeconds(file->closingDate()) : 0);
    };
    return *std::min_element(closed.begin(), closed.end(),
                             [&rank](const auto& a, const auto& b) { return rank(a) < rank(b); });
}

QStringList RecoveryClosingOrder::names() const
{
    std::string refusal;
    const int descriptor = OwnFile::open(QFile::encodeName(path_).toStdString(), O_RDONLY, refusal);
    // None yet is a folder's first closing; any other failure (another
    // user's file only its owner reads, say) is told, not rewritten in silence.
    if (descriptor < 0 && refusal.empty() && errno != ENOENT)
        refusal = std::strerror(errno);
    if (!refusal.empty())
        RecoveryLog::warning(QStringLiteral("Closing order %1 not read, %2: files are taken for ones an earlier "
                                            "version closed until it is written anew")
                                 .arg(path_, QString::fromStdString(refusal)));
    if (descriptor < 0)
        return {};
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace ect
