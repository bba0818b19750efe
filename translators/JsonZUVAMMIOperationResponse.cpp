#include "translators/JsonZUVAMMIOperationResponse.h"

#include "encoding/ZUVAUtils.h"
#include "translators/ZUVATags.h"

namespace oxa {

namespace {

const Ber::BerTag& EndingKey = *new Ber::BerTag(0xDF, 0x94, 0x26);

} // namespace

JsonZUVAMMIOperationResponse::JsonZUVAMMIOperationResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rm"))
{
}

QJsonObject JsonZUVAMMIOperationResponse::readResult(const QByteArray& body) const
{
    const std::string code = require(Ber::getValue(parseBody(body), tags::DisplayData, EndingKey),
                                     "the display operation reply does not say which key ended it")
                                 .hexValue();
    return QJsonObject{{QStringLiteral("okKeyPressed"), code == "00"},
                       {QStringLiteral("stopKeyPressed"), code == "01"},
                       {QStringLiteral("aborted"), code == "FF"}};
}

} // namespace oxa
