#pragma once

#include "translators/JsonZUVABackupModeRequest.h"

namespace oxa {

// Switches backup mode on ("0030", "enabled" true) or off ("0031").
class JsonZUVABackupModeChangeRequest : public JsonZUVABackupModeRequest {
public:
    explicit JsonZUVABackupModeChangeRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    std::string operationCode(const QJsonObject& transaction) const override;
};

} // namespace oxa
