#include "recovery/RecoveryLog.h"

#include "engine/base/ECTCertificationLogging.h"

namespace ect {

void RecoveryLog::line(const QString& text)
{
    oxa::ECTCertificationLogging::sharedInstance().log(text.toStdString());
}

} // namespace ect
