#pragma once

#include "translators/JsonZUVAOperationRequest.h"

namespace oxa {

// The backup-mode operations: after BF8116 they name the card brand the
// operation concerns, BF8104 { BF8105 { EF { DF9015 01, DF5F brand,
// DF900F 0035 } } }, with the brand "1234" when the request gives none.
class JsonZUVABackupModeRequest : public JsonZUVAOperationRequest {
protected:
    explicit JsonZUVABackupModeRequest(std::shared_ptr<OXAEnvironment> environment);

    void addOperationDetails(const QJsonObject& transaction, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
