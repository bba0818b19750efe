#pragma once

#include <QString>

namespace ect {

// Recovery-file incidents go to the certification log, dated.
class RecoveryLog {
public:
    static void line(const QString& text);
    // Data lost or skipped: the host is told as well, certification mode or not.
    static void warning(const QString& text);
};

} // namespace ect
