#include "engine/service/JsonConnectionAdviceResponse.h"

namespace oxa {

namespace {

void insertText(QJsonObject& object, const QString& key, const Ber::BerTlv& root, const Ber::BerTag& tag)
{
    if (const auto element = root.find(tag))
        object.insert(key, QString::fromStdString(element->textValue()));
}

void insertHex(QJsonObject& object, const QString& key, const Ber::BerTlv& root, const Ber::BerTag& tag)
{
    if (const auto element = root.find(tag))
        object.insert(key, QString::fromStdString(element->hexValue()));
}

} // namespace

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
    insertText(terminal, QStringLiteral("terminalModel"), root, Ber::BerTag(0xDF, 0x05));
    insertText(terminal, QStringLiteral("terminalIdentifier"), root, Ber::BerTag(0x9F, 0x1C));
    insertText(terminal, QStringLiteral("terminalSerialNumber"), root, Ber::BerTag(0x9F, 0x1E));
    insertText(terminal, QStringLiteral("softwareVersion"), root, Ber::BerTag(0xDF, 0x93, 0x00));
    insertHex(terminal, QStringLiteral("EMVKernelVersion"), root, Ber::BerTag(0xDF, 0x94, 0x6B));
    return terminal;
}

} // namespace oxa
