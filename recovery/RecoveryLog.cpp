#include "recovery/RecoveryLog.h"

#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"

namespace ect {
namespace {

// A plain pointer: a thread-local object would be destroyed as its thread ends.
thread_local QStringList* heldOnThisThread = nullptr;

void report(const QString& text)
{
    oxa::HostWarning::report(text.toStdString());
}

} // namespace

void RecoveryLog::line(const QString& text)
{
    oxa::ECTCertificationLogging::sharedInstance().log(text.toStdString());
}

void RecoveryLog::warning(const QString& text)
{
    if (heldOnThisThread)
        heldOnThisThread->append(text);
    else
        report(text);
}

RecoveryLog::HeldWarnings::HeldWarnings() : outermost_(heldOnThisThread == nullptr)
{
    if (outermost_)
        heldOnThisThread = &held_;
}

RecoveryLog::HeldWarnings::~HeldWarnings()
{
    if (!outermost_)
        return;
    heldOnThisThread = nullptr;
    for (const QString& text : held_)
        report(text);
}

} // namespace ect
