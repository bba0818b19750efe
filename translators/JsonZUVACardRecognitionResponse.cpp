#include "translators/JsonZUVACardRecognitionResponse.h"

#include "encoding/ZUVAUtils.h"
#include "translators/RetailReplyFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

using Fields = RetailReplyFields;

const Ber::BerTag& CardToken = *new Ber::BerTag(0xDF, 0x91, 0x5C);
const Ber::BerTag& Pan = *new Ber::BerTag(0x5A);

// In the private card data the PAN is masked: E digits are hidden, F pads.
QString maskedPan(QString hex)
{
    return hex.replace(QLatin1Char('E'), QLatin1Char('x')).replace(QLatin1Char('F'), QLatin1Char(' '));
}

} // namespace

JsonZUVACardRecognitionResponse::JsonZUVACardRecognitionResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rh"))
{
}

QJsonObject JsonZUVACardRecognitionResponse::readResult(QByteArray const& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    Ber::jsonInsertOptTagHex(QStringLiteral("cardToken"), tags::CardDescription, CardToken, root, fields);
    Ber::jsonInsertOptCardType(QStringLiteral("cardType"), tags::CardDescription, CardTypeTag, root, fields);
    Fields::insertCardBrand(root, fields);
    if (Ber::jsonInsertOptTagHex(QStringLiteral("clippedPAN"), tags::CardDescription, Pan, root, fields))
        return fields;
    const auto privateElements = Fields::heldElements(Ber::getValue(root, tags::CardData, tags::PrivateData));
    if (privateElements) {
        if (const auto pan = Ber::getValueAsHexaString(*privateElements, Pan))
            fields.insert(QStringLiteral("clippedPAN"), maskedPan(*pan));
    }
    return fields;
}

} // namespace oxa
