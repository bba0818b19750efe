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

std::string JsonZUVAMMIOperationResponse::endingKey(QByteArray const& body) const
{
    return require(Ber::getValue(parseBody(body), tags::DisplayData, EndingKey),
                   "the display operation reply does not say which key ended it")
        .hexValue();
}

QString JsonZUVAMMIOperationResponse::describeLateReply(QByteArray const& body) const
{
    const std::string code = endingKey(body);
    if (code == "00")
        return QStringLiteral("key OK");
    if (code == "01")
        return QStringLiteral("key stop");
    if (code == "FF")
        return QStringLiteral("aborted");
    return QStringLiteral("key %1").arg(QString::fromStdString(code));
}

bool JsonZUVAMMIOperationResponse::mustReachHost(QByteArray const& body) const
{
    return !endingKey(body).empty();
}

QJsonObject JsonZUVAMMIOperationResponse::readResult(const QByteArray& body) const
{
    const std::string code = endingKey(body);
    return QJsonObject{{QStringLiteral("okKeyPressed"), code == "00"},
                       {QStringLiteral("stopKeyPressed"), code == "01"},
                       {QStringLiteral("aborted"), code == "FF"}};
}

} // namespace oxa
