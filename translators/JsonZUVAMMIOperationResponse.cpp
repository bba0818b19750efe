#include "translators/JsonZUVAMMIOperationResponse.h"

#include <stdexcept>

namespace oxa {

namespace {

const Ber::BerTag DisplayResult(0xBF, 0x81, 0x09);
const Ber::BerTag EndingKey(0xDF, 0x94, 0x26);

} // namespace

JsonZUVAMMIOperationResponse::JsonZUVAMMIOperationResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rm"))
{
}

QJsonObject JsonZUVAMMIOperationResponse::readResult(const QByteArray& body) const
{
    const auto key = find(parseBody(body), DisplayResult, EndingKey);
    if (!key)
        throw std::invalid_argument("the display operation reply does not say which key ended it");
    const std::string code = key->hexValue();
    return QJsonObject{{QStringLiteral("okKeyPressed"), code == "00"},
                       {QStringLiteral("stopKeyPressed"), code == "01"},
                       {QStringLiteral("aborted"), code == "FF"}};
}

} // namespace oxa
