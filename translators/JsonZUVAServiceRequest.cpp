#include "translators/JsonZUVAServiceRequest.h"

#include "encoding/ECTMessageSequenceNumber.h"
#include "encoding/ber/BerTlv.h"

namespace oxa {

JsonZUVAServiceRequest::JsonZUVAServiceRequest(std::shared_ptr<OXAEnvironment> environment, QString messageTypeId,
                                               Ber::BerData destination, std::chrono::seconds timeout)
    : m_environment(std::move(environment))
    , m_messageTypeId(std::move(messageTypeId))
    , m_destination(std::move(destination))
    , m_timeout(timeout)
{
}

std::chrono::seconds JsonZUVAServiceRequest::getTransactionTimeout() const
{
    return m_timeout;
}

Ber::BerData JsonZUVAServiceRequest::getDestinationCode() const
{
    return m_destination;
}

void JsonZUVAServiceRequest::prepareZUVABody(int sequenceNumber, QJsonObject request, QByteArray& body)
{
    const ECTMessageSequenceNumber sequence(sequenceNumber);
    Ber::BerTlvBuilder builder(Ber::BerTag(0xF0));
    Ber::BerTlv envelope(Ber::BerTag(0xE1));
    envelope.addData(Ber::BerTag(0xD0), Ber::BerData(m_messageTypeId.toLatin1()));
    envelope.addData(Ber::BerTag(0xD1), sequence.data());
    builder.addBerTlv(envelope);
    addServiceElements(request, builder);
    const Ber::BerData data = builder.buildData();
    body.append(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.length()));
}

void JsonZUVAServiceRequest::addServiceElements(const QJsonObject&, Ber::BerTlvBuilder&)
{
}

QJsonObject JsonZUVAServiceRequest::transactionOf(const QJsonObject& request)
{
    return request.value(QStringLiteral("transaction")).toObject();
}

} // namespace oxa
