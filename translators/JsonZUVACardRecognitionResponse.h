#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The recognised card ("Rh"): token, type, brand and clipped PAN.
class JsonZUVACardRecognitionResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVACardRecognitionResponse();

protected:
    QJsonObject readResult(QByteArray const& body) const override;
};

} // namespace oxa
