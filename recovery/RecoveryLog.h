#pragma once

#include <QString>

namespace ect {

// Recovery-file incidents go to the certification log, dated.
class RecoveryLog {
public:
    static void line(const QString& text);
};

} // namespace ect
