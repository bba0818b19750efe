#include "translators/JsonZUVABackupModeStatusResponse.h"

#include "encoding/ZUVAUtils.h"
#include "encoding/ber/BerTlvParser.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& BackupModeState = *new Ber::BerTag(0xDF, 0x94, 0x05);

} // namespace

JsonZUVABackupModeStatusResponse::JsonZUVABackupModeStatusResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Ro"))
{
}

QJsonObject JsonZUVABackupModeStatusResponse::readResult(const QByteArray& body) const
{
    const auto privateData = Ber::getValue(parseBody(body), CardData, PrivateData);
    // The private data's value is a list of elements of its own.
    const Ber::BerTlv state =
        require(privateData ? Ber::BerTlvParser().parseTlvs(privateData->value).find(BackupModeState) : boost::none,
                "the backup mode status reply carries no backup mode state");
    return QJsonObject{{QStringLiteral("enabled"), state.textValue() == "1"}};
}

} // namespace oxa
