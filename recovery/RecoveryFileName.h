#pragma once

#include <QChar>
#include <QString>

#include <string>

namespace ect {

// File-name parts made from identifiers that come from terminals and hosts.
// Whatever they hold, the name stays one plain name inside its folder.
class RecoveryFileName {
public:
    // Longest name part an identifier turns into.
    static const int maxComponentLength = 64;

    // Letters, digits, '-', '_' and '.' stay; every other byte becomes %XX.
    // A longer result is cut and ends in '~' and a digest of the whole identifier.
    static QString component(const std::string& identifier);
    // "name.ext" with the number n: "name" + separator + n + ".ext".
    static QString withNumber(const QString& fileName, int n, QChar separator);
    // fileName itself when nothing lies at folder/fileName, otherwise the first
    // numbered variant that is free.
    static QString firstFreePath(const QString& folder, const QString& fileName, QChar separator);
};

} // namespace ect
