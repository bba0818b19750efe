#include "translators/JsonZUVABackupModeChangeRequest.h"

namespace oxa {

JsonZUVABackupModeChangeRequest::JsonZUVABackupModeChangeRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVABackupModeRequest(std::move(environment))
{
}

std::string JsonZUVABackupModeChangeRequest::operationCode(const QJsonObject& transaction) const
{
    // Only a JSON true switches on.
    return transaction.value(QStringLiteral("enabled")).toBool(false) ? "0030" : "0031";
}

} // namespace oxa
