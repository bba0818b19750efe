#include "engine/service/JsonConnectionAdviceResponse.h"

#include "encoding/ber/BerTlvParser.h"

#include <QJsonObject>

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

QString JsonConnectionAdviceResponse::getMessageTypeId() const
{
    return QStringLiteral("Cu");
}

QString JsonConnectionAdviceResponse::getMessageTypeName() const
{
    return QStringLiteral("Connection Advice");
}

void JsonConnectionAdviceResponse::handleResponse(QByteArray body, QJsonDocument& response,
                                                  std::function<QJsonDocument(QJsonDocument)>)
{
    QJsonObject outer = response.object();
    const Ber::BerTlv root = Ber::BerTlvParser().parseConstructed(Ber::BerData(body));
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
    outer.insert(QStringLiteral("terminal"), terminal);
    response.setObject(outer);
}

} // namespace oxa
