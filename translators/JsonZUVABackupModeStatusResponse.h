#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The backup-mode status reply ("Ro"): "enabled" is true when DF9405, held
// in the value of DF9460 inside BF8104, is the text "1".
class JsonZUVABackupModeStatusResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVABackupModeStatusResponse();

protected:
    // Throws when the reply does not carry the status: a missing status
    // must not reach the sale system as "backup mode off".
    QJsonObject readResult(const QByteArray& body) const override;
};

} // namespace oxa
