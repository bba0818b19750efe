#pragma once

#include <QString>
#include <QStringList>

namespace ect {

// Recovery-file incidents go to the certification log, dated.
class RecoveryLog {
public:
    static void line(const QString& text);
    // Data lost or skipped: the host is told as well, certification mode or not.
    static void warning(const QString& text);

    // While one lives on a thread, that thread's warnings wait, and are given
    // when it goes: a recovery operation holds its locks meanwhile, and the
    // host's handler may call into the recovery files or wait for a thread
    // that does.
    class HeldWarnings {
    public:
        HeldWarnings();
        ~HeldWarnings();
        HeldWarnings(const HeldWarnings&) = delete;
        HeldWarnings& operator=(const HeldWarnings&) = delete;

    private:
        QStringList held_;
        bool outermost_ = false;
    };
};

} // namespace ect
