#include "engine/service/JsonSynchronizationAdviceResponse.h"

#include "encoding/ber/BerTlvParser.h"

#include <QJsonObject>

namespace oxa {

QString JsonSynchronizationAdviceResponse::getMessageTypeId() const
{
    return QStringLiteral("Cy");
}

QString JsonSynchronizationAdviceResponse::getMessageTypeName() const
{
    return QStringLiteral("Terminal Event");
}

void JsonSynchronizationAdviceResponse::handleResponse(QByteArray body, QJsonDocument& response,
                                                       std::function<QJsonDocument(QJsonDocument)>)
{
    QJsonObject outer = response.object();
    const Ber::BerTlv root = Ber::BerTlvParser().parseConstructed(Ber::BerData(body));
    QJsonObject event;
    if (const auto state = root.find(Ber::BerTag(0xDF, 0x94, 0x0C)))
        event.insert(QStringLiteral("synchronizationState"), QString::fromStdString(state->hexValue()));
    outer.insert(QStringLiteral("event"), event);
    response.setObject(outer);
}

} // namespace oxa
