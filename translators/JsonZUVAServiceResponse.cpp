#include "translators/JsonZUVAServiceResponse.h"

#include "encoding/ber/BerTlvParser.h"

#include <stdexcept>

namespace oxa {

JsonZUVAServiceResponse::JsonZUVAServiceResponse(QString messageTypeId)
    : m_messageTypeId(std::move(messageTypeId))
{
}

QString JsonZUVAServiceResponse::getMessageTypeId() const
{
    return m_messageTypeId;
}

void JsonZUVAServiceResponse::handleResponse(QByteArray body, QJsonDocument& result,
                                             std::function<QJsonDocument(QJsonDocument)>)
{
    QJsonObject outer = result.object();
    outer.insert(QStringLiteral("result"), readResult(body));
    result.setObject(outer);
}

QJsonObject JsonZUVAServiceResponse::readResult(const QByteArray&) const
{
    return QJsonObject();
}

Ber::BerTlv JsonZUVAServiceResponse::parseBody(const QByteArray& body)
{
    return Ber::BerTlvParser().parseConstructed(Ber::BerData(body));
}

Ber::BerTlv JsonZUVAServiceResponse::require(const boost::optional<Ber::BerTlv>& element, const char* missing)
{
    if (!element)
        throw std::invalid_argument(missing);
    return *element;
}

} // namespace oxa
