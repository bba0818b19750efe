#pragma once

#include <QByteArray>
#include <QString>

namespace ect {

// Writes whole files so that a crash or a full disk leaves either the old
// file or the complete new one: temporary file, flush and sync, rename, then
// sync of the folder so the rename itself survives a power loss.
class DurableFileWriter {
public:
    // Creates the folder when missing. False (and the old file untouched)
    // when any step fails.
    static bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);
    // The same for a file of the library's own (see OwnFile), in a folder
    // others may write to: the new file is made beside it, readable by its
    // owner alone, and renamed over the name, which replaces a link or FIFO
    // planted there rather than writing through it.
    static bool writeOwn(const QString& path, const QByteArray& bytes, QString* error = nullptr);
    // Makes a rename or removal inside the folder durable.
    static void syncFolder(const QString& folder);
};

} // namespace ect
