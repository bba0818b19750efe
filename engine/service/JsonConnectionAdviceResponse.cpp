#include "engine/service/JsonConnectionAdviceResponse.h"

#include "encoding/ZUVAUtils.h"
#include "translators/ZUVATags.h"

namespace oxa {

JsonConnectionAdviceResponse::JsonConnectionAdviceResponse()
    : JsonAdviceResponse(QStringLiteral("Cu"), QStringLiteral("Connection Advice"), QStringLiteral("terminal"))
{
}

QJsonObject JsonConnectionAdviceResponse::readAdvice(const Ber::BerTlv& root) const
{
    QJsonObject terminal;
    // An advice without device type carries no device type: both keys stay out.
    if (const auto deviceType = root.find(Ber::BerTag(0xDF, 0x81, 0x56))) {
        const QString hex = QString::fromStdString(deviceType->hexValue());
        terminal.insert(QStringLiteral("deviceType"), hex);
        terminal.insert(QStringLiteral("deviceTypeName"),
                        hex == QLatin1String("04") ? QStringLiteral("Terminal") : QStringLiteral("Unknown"));
    }
    Ber::jsonInsertOptTagText(QStringLiteral("terminalModel"), tags::TerminalModel, root, terminal);
    Ber::jsonInsertOptTagText(QStringLiteral("terminalIdentifier"), tags::TerminalIdentifier, root, terminal);
    Ber::jsonInsertOptTagText(QStringLiteral("terminalSerialNumber"), tags::TerminalSerialNumber, root, terminal);
    Ber::jsonInsertOptTagText(QStringLiteral("softwareVersion"), Ber::BerTag(0xDF, 0x93, 0x00), root, terminal);
    Ber::jsonInsertOptTagHex(QStringLiteral("EMVKernelVersion"), Ber::BerTag(0xDF, 0x94, 0x6B), root, terminal);
    return terminal;
}

} // namespace oxa
