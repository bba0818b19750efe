#include "translators/JsonZUVACardValidityCheckResponse.h"

#include "encoding/ZUVAUtils.h"
#include "translators/RetailReplyFields.h"

namespace oxa {

namespace {

using Fields = RetailReplyFields;

const Ber::BerTag BrandIdentifier(0xDF, 0x5F);
const Ber::BerTag BrandName(0xDF, 0x7E);
const Ber::BerTag ClippedPan(0xDF, 0x46);

} // namespace

JsonZUVACardValidityCheckResponse::JsonZUVACardValidityCheckResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rd"))
{
}

QJsonObject JsonZUVACardValidityCheckResponse::readResult(QByteArray const& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    Ber::jsonInsertOptTagHex(QStringLiteral("cardBrandIdentifier"), Fields::CardData, BrandIdentifier, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("cardBrandName"), Fields::CardData, BrandName, root, fields);
    Ber::jsonInsertOptTagHexForDate(QStringLiteral("date"), Fields::ServiceData, Fields::Date, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("clippedPAN"), Fields::CardDescription, ClippedPan, root, fields);
    return fields;
}

} // namespace oxa
