#include "recovery/RecoveryLog.h"

#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"

namespace ect {

void RecoveryLog::line(const QString& text)
{
    oxa::ECTCertificationLogging::sharedInstance().log(text.toStdString());
}

void RecoveryLog::warning(const QString& text)
{
    oxa::HostWarning::report(text.toStdString());
}

} // namespace ect
