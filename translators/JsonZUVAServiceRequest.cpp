#include "translators/JsonZUVAServiceRequest.h"

#include "encoding/ECTDataZUVADigital.h"
#include "encoding/ECTMessageSequenceNumber.h"
#include "encoding/ZUVABody.h"
#include "encoding/ber/BerTlv.h"

namespace oxa {

namespace {

constexpr int kTimeoutDigits = 4;

} // namespace

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
    return m_timeout + std::chrono::seconds(m_waitedSeconds.load());
}

Ber::BerTlv JsonZUVAServiceRequest::timeoutElement(const Ber::BerTag& tag, int seconds)
{
    return Ber::BerTlv(tag, ECTDataZUVADigital(seconds, kTimeoutDigits));
}

Ber::BerTlv JsonZUVAServiceRequest::waitedTimeoutElement(const Ber::BerTag& tag, int seconds)
{
    m_waitedSeconds += seconds;
    return timeoutElement(tag, seconds);
}

Ber::BerData JsonZUVAServiceRequest::getDestinationCode() const
{
    return m_destination;
}

void JsonZUVAServiceRequest::prepareZUVABody(int sequenceNumber, QJsonObject request, QByteArray& body)
{
    const ECTMessageSequenceNumber sequence(sequenceNumber);
    Ber::BerTlvBuilder builder(ZUVABody::kBodyTag);
    Ber::BerTlv envelope(ZUVABody::kEnvelopeTag);
    envelope.addData(ZUVABody::kMessageTypeTag, Ber::BerData(m_messageTypeId.toLatin1()));
    envelope.addData(ZUVABody::kSequenceNumberTag, sequence.data());
    builder.addBerTlv(envelope);
    m_waitedSeconds = 0;
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
