#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The last transaction's status ("Re"): laid out as a sale reply and read
// exactly as one, backup-mode recording included.
class JsonZUVALastTransactionResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVALastTransactionResponse();

protected:
    QJsonObject readResult(QByteArray const& body) const override;
};

} // namespace oxa
