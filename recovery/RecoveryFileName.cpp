#include "recovery/RecoveryFileName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace ect {
namespace {

bool isSafe(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.';
}

QString percentEncoded(const std::string& identifier)
{
    QString encoded;
    for (char c : identifier) {
        if (isSafe(c))
            encoded += QLatin1Char(c);
        else
            encoded += QStringLiteral("%%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return encoded;
}

QString digest(const std::string& identifier)
{
    const QByteArray bytes(identifier.data(), static_cast<int>(identifier.size()));
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(8)).toUpper();
}

} // namespace

QString RecoveryFileName::component(const std::string& identifier)
{
    const QString encoded = percentEncoded(identifier);
    if (encoded.size() <= maxComponentLength)
        return encoded;
    const QString tail = QLatin1Char('~') + digest(identifier);
    return encoded.left(maxComponentLength - tail.size()) + tail;
}

QString RecoveryFileName::withNumber(const QString& fileName, int n, QChar separator)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const int stemLength = dot < 0 ? fileName.size() : dot;
    return fileName.left(stemLength) + separator + QString::number(n) + fileName.mid(stemLength);
}

QString RecoveryFileName::firstFreePath(const QString& folder, const QString& fileName, QChar separator)
{
    const QDir dir(folder);
    QString candidate = fileName;
    for (int n = 2; QFileInfo::exists(dir.filePath(candidate)); ++n)
        candidate = withNumber(fileName, n, separator);
    return QDir::cleanPath(dir.filePath(candidate));
}

} // namespace ect
