#pragma once

#include "translators/JsonZUVABackupModeRequest.h"

namespace oxa {

// Asks whether backup mode is on ("0032").
class JsonZUVABackupModeStatusRequest : public JsonZUVABackupModeRequest {
public:
    explicit JsonZUVABackupModeStatusRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    std::string operationCode(const QJsonObject& transaction) const override;
};

} // namespace oxa
