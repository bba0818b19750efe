#include "translators/JsonZUVALastTransactionResponse.h"

#include "translators/JsonZUVASaleTransactionResponse.h"

namespace oxa {

JsonZUVALastTransactionResponse::JsonZUVALastTransactionResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Re"))
{
}

QJsonObject JsonZUVALastTransactionResponse::readResult(QByteArray const& body) const
{
    return JsonZUVASaleTransactionResponse::saleResult(body);
}

} // namespace oxa
