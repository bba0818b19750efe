#include "recovery/DurableFileWriter.h"

#include "common/OwnFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace ect {
namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool failWith(QString* error, const std::string& refusal)
{
    return fail(error, QString::fromStdString(refusal.empty() ? std::strerror(errno) : refusal));
}

bool makeFolder(const QString& folder, QString* error)
{
    return QDir().mkpath(folder) || fail(error, QStringLiteral("cannot create folder ") + folder);
}

} // namespace

bool DurableFileWriter::write(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!makeFolder(folder, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    // A short write can go unreported until the buffer is flushed, and a
    // commit after it would put a truncated file in place: check before.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, reason.isEmpty() ? QStringLiteral("short write") : reason);
    }
    if (!file.commit())
        return fail(error, file.errorString());
    syncFolder(folder);
    return true;
}

bool DurableFileWriter::writeOwn(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!makeFolder(folder, error))
        return false;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray fresh = target + ".new";
    // One a crash left, or one planted: only its name goes.
    ::unlink(fresh.constData());
    std::string refusal;
    const int file = OwnFile::open(fresh.toStdString(), O_WRONLY | O_CREAT | O_EXCL, refusal);
    if (file < 0)
        return failWith(error, refusal);
    const bool written = OwnFile::writeAll(file, bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
        ::fsync(file) == 0;
    ::close(file);
    if (!written || std::rename(fresh.constData(), target.constData()) != 0) {
        const bool failed = failWith(error, refusal);
        ::unlink(fresh.constData());
        return failed;
    }
    syncFolder(folder);
    return true;
}

void DurableFileWriter::syncFolder(const QString& folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

} // namespace ect
