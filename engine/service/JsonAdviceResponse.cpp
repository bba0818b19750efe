#include "engine/service/JsonAdviceResponse.h"

#include "encoding/ber/BerTlvParser.h"

namespace oxa {

JsonAdviceResponse::JsonAdviceResponse(QString messageTypeId, QString messageTypeName, QString key)
    : m_messageTypeId(std::move(messageTypeId))
    , m_messageTypeName(std::move(messageTypeName))
    , m_key(std::move(key))
{
}

QString JsonAdviceResponse::getMessageTypeId() const
{
    return m_messageTypeId;
}

QString JsonAdviceResponse::getMessageTypeName() const
{
    return m_messageTypeName;
}

void JsonAdviceResponse::handleResponse(QByteArray body, QJsonDocument& response,
                                        std::function<QJsonDocument(QJsonDocument)>)
{
    QJsonObject outer = response.object();
    const Ber::BerTlv root = Ber::BerTlvParser().parseConstructed(Ber::BerData(body));
    outer.insert(m_key, readAdvice(root));
    response.setObject(outer);
}

} // namespace oxa
