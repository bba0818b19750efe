#include "translators/JsonZUVAInformationServiceResponse.h"

#include "encoding/StringUtils.h"
#include "encoding/ZUVAUtils.h"
#include "translators/ZUVATags.h"

namespace oxa {

namespace {

const Ber::BerTag& TerminalData = *new Ber::BerTag(0xBF, 0x81, 0x02);
const Ber::BerTag& AdditionalCapabilities = *new Ber::BerTag(0x9F, 0x40);
// Bit 0x10 of the first capabilities byte.
constexpr int CashbackBitPosition = 3;

} // namespace

JsonZUVAInformationServiceResponse::JsonZUVAInformationServiceResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Ri"))
{
}

QJsonObject JsonZUVAInformationServiceResponse::readResult(const QByteArray& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    Ber::jsonInsertOptTagText(QStringLiteral("terminalIdentifier"), TerminalData, tags::TerminalSerialNumber, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("terminalModel"), tags::TerminalModel, root, fields);
    if (const auto capabilities = Ber::getValue(root, TerminalData, AdditionalCapabilities)) {
        const std::string hex = capabilities->hexValue();
        fields.insert(QStringLiteral("terminalAdditionalCapabilities"), QString::fromStdString(hex));
        fields.insert(QStringLiteral("cashbackEnabled"),
                      StringUtils::binaryStringBitSetAtPosition(StringUtils::convertHexaToBinary(hex),
                                                                CashbackBitPosition));
    }
    return fields;
}

} // namespace oxa
