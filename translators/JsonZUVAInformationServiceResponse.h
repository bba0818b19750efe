#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The terminal's identity ("Ri"): identifier, model, additional capabilities
// and whether cash-back is enabled.
class JsonZUVAInformationServiceResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVAInformationServiceResponse();

protected:
    QJsonObject readResult(const QByteArray& body) const override;
};

} // namespace oxa
