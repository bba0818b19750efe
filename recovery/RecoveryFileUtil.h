#pragma once

#include "recovery/ZUVARecoveryFileImpl.h"

#include <QString>
#include <QStringList>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace ect {

// The recovery file formats: the XML file of each recovery file, the folder
// layout and file names, and the exported hexadecimal TLV text.
class RecoveryFileUtil {
public:
    using Files = std::vector<std::shared_ptr<ZUVARecoveryFile>>;
    using StoredFiles = std::vector<std::shared_ptr<ZUVARecoveryFileImpl>>;

    // Joins with a separator and cleans the result.
    static QString appendPath(const QString& first, const QString& second);

    static QString toDateString(std::tm date);
    static std::tm toTmDate(const QString& text);

    static QString getOpenRecoveryFileFileName(const QString& terminalId, const QString& acquirerId);
    static QString getClosedRecoveryFileFileName(const QString& terminalId, const QString& acquirerId,
                                                 const std::tm& closingDate);

    // True when the text survives an XML file unchanged: valid UTF-8 without
    // NUL, carriage returns or other characters XML cannot carry. Other texts
    // are stored in hexadecimal and read back as they were.
    static bool isStorableText(const std::string& text);

    // Replaces the file at path as a whole; false, with a log line, when that fails.
    static bool writeRecoveryFileXml(const QString& path, std::shared_ptr<ZUVARecoveryFileImpl> file);
    // Empty pointer, with a log line, when the file can't be opened or isn't
    // a complete recovery file. The record remembers the path.
    static std::shared_ptr<ZUVARecoveryFileImpl> readRecoveryFileXml(const QString& path);
    // The readable recovery files of a folder, by file name; others are skipped.
    static StoredFiles readRecoveryFilesXml(const QString& folder);

    static QString createRecoveryFileContent(std::shared_ptr<const ZUVARecoveryFileImpl> file);
    static QString createRecoveryFileFilename(std::shared_ptr<const ZUVARecoveryFileImpl> file);
    static std::string toHexaString(const std::string& bytes);

    // Each file's export name, numbered where the list holds the same name
    // more than once, so no two exports of one list share a name.
    static QStringList exportFileNames(const Files& files);
    // Writes each export into the folder under its name of exportFileNames,
    // the name a listing gives, and reads it back. A different text already
    // lying under that name is first renamed to the next free name, never
    // overwritten. False at the first failure.
    static bool extractRecoveryFiles(const Files& files, const QString& folder);
};

} // namespace ect
