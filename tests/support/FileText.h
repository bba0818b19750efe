#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {

// The bytes of a file; empty when it cannot be read.
inline QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testsupport
