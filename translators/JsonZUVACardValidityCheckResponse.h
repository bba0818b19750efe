#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The checked card ("Rd" answering a validity check): brand, clipped PAN and
// the date of the check.
class JsonZUVACardValidityCheckResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVACardValidityCheckResponse();

protected:
    QJsonObject readResult(QByteArray const& body) const override;
};

} // namespace oxa
