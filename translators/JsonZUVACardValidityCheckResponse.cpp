#include "translators/JsonZUVACardValidityCheckResponse.h"

#include "encoding/ZUVAUtils.h"
#include "translators/RetailReplyFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

using Fields = RetailReplyFields;


} // namespace

JsonZUVACardValidityCheckResponse::JsonZUVACardValidityCheckResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rd"))
{
}

QJsonObject JsonZUVACardValidityCheckResponse::readResult(QByteArray const& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    Fields::insertCardBrand(root, fields);
    Ber::jsonInsertOptTagHexForDate(QStringLiteral("date"), tags::ServiceData, tags::Date, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("clippedPAN"), tags::CardDescription, ClippedPan, root, fields);
    return fields;
}

} // namespace oxa
