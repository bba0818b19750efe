#include "translators/JsonZUVABackupModeStatusRequest.h"

namespace oxa {

JsonZUVABackupModeStatusRequest::JsonZUVABackupModeStatusRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVABackupModeRequest(std::move(environment))
{
}

std::string JsonZUVABackupModeStatusRequest::operationCode(const QJsonObject&) const
{
    return "0032";
}

} // namespace oxa
