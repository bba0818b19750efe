#include "engine/service/JsonSynchronizationAdviceResponse.h"

namespace oxa {

JsonSynchronizationAdviceResponse::JsonSynchronizationAdviceResponse()
    : JsonAdviceResponse(QStringLiteral("Cy"), QStringLiteral("Terminal Event"), QStringLiteral("event"))
{
}

QJsonObject JsonSynchronizationAdviceResponse::readAdvice(const Ber::BerTlv& root) const
{
    QJsonObject event;
    if (const auto state = root.find(Ber::BerTag(0xDF, 0x94, 0x0C)))
        event.insert(QStringLiteral("synchronizationState"), QString::fromStdString(state->hexValue()));
    return event;
}

} // namespace oxa
