#include "translators/JsonProductDeliveryResponse.h"

#include "encoding/ZUVABody.h"
#include "encoding/ZUVAUtils.h"
#include "encoding/ber/BerTlvBuilder.h"
#include "translators/JsonProductDeliveryRequest.h"
#include "translators/JsonZUVASaleTransactionResponse.h"
#include "translators/RetailReplyFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

using Fields = RetailReplyFields;


// The card data element whole, so that the answer can carry it back unchanged.
void insertCandidateGroup(Ber::BerTlv const& root, QJsonObject& fields)
{
    if (const auto cardData = Ber::getValue(root, tags::CardData)) {
        const Ber::BerData encoded = Ber::BerTlvBuilder(*cardData).buildData();
        const QByteArray bytes(reinterpret_cast<const char*>(encoded.data()), static_cast<int>(encoded.length()));
        fields.insert(QStringLiteral("candidateGroupData"), QString::fromLatin1(bytes.toBase64()));
    }
}

} // namespace

JsonProductDeliveryResponse::JsonProductDeliveryResponse(std::weak_ptr<JsonTransactionRequestHandler> requestHandler)
    : JsonZUVAServiceResponse(QStringLiteral("CR"))
    , m_requestHandler(std::move(requestHandler))
{
}

QString JsonProductDeliveryResponse::getMessageTypeName() const
{
    return QStringLiteral("Delivery Confirmation Response");
}

QJsonObject JsonProductDeliveryResponse::question(QByteArray const& body)
{
    QJsonObject fields{{QStringLiteral("productdelivery"), true}};
    const Ber::BerTlv root = parseBody(body);
    Fields::insertCardFields(root, fields);
    Fields::insertPaymentFields(root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("processingApplicationIdentifier"), tags::CardData,
                             ProcessingApplication, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("terminalIdentifier"), tags::CardData, TerminalIdentifier, root,
                              fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("acquirerIdentifier"), tags::CardData, AcquirerIdentifier, root,
                             fields);
    insertCandidateGroup(root, fields);
    Ber::jsonInsertOptTagInt(QStringLiteral("deliveryTimeout"), tags::ServiceData, DeliveryTimeout, root, fields);
    Ber::jsonInsertOptTagHexForDate(QStringLiteral("timestamp"), tags::ServiceData, tags::Date, root, fields);
    return fields;
}

bool JsonProductDeliveryResponse::deliveryAccepted(QJsonDocument const& answer)
{
    return answer.object()
        .value(QStringLiteral("ProductDelivery"))
        .toObject()
        .value(QStringLiteral("deliveryAccepted"))
        .toBool(false);
}

void JsonProductDeliveryResponse::handleResponse(QByteArray body, QJsonDocument& response,
                                                 std::function<QJsonDocument(QJsonDocument)> reverseCallback)
{
    if (isSaleReply(body))
        JsonZUVASaleTransactionResponse().handleResponse(body, response, reverseCallback);
    else
        answerQuestion(body, reverseCallback);
}

QString JsonProductDeliveryResponse::describeLateReply(QByteArray const& body) const
{
    return isSaleReply(body) ? JsonZUVASaleTransactionResponse().describeLateReply(body) : QString();
}

boost::optional<std::int64_t> JsonProductDeliveryResponse::approvedAmount(QByteArray const& body) const
{
    return isSaleReply(body) ? JsonZUVASaleTransactionResponse().approvedAmount(body) : boost::none;
}

bool JsonProductDeliveryResponse::isSaleReply(QByteArray const& body)
{
    const auto messageType = Ber::getValueAsString(parseBody(body), ZUVABody::kEnvelopeTag, ZUVABody::kMessageTypeTag);
    return messageType && *messageType == QLatin1String("Rd");
}

// Without a reverse callback nobody can confirm the delivery: it is refused.
void JsonProductDeliveryResponse::answerQuestion(QByteArray const& body,
                                                 std::function<QJsonDocument(QJsonDocument)> const& reverseCallback)
{
    QJsonObject answer = question(body);
    const QJsonDocument reply =
        reverseCallback ? reverseCallback(QJsonDocument(QJsonObject{{QStringLiteral("result"), answer}}))
                        : QJsonDocument();
    answer.insert(QStringLiteral("action"), QStringLiteral("ProductDelivery"));
    answer.insert(QStringLiteral("deliveryAccepted"), deliveryAccepted(reply));
    const std::shared_ptr<JsonTransactionRequestHandler> requestHandler = m_requestHandler.lock();
    if (!requestHandler)
        return;
    const JsonProductDeliveryRequest::AnswerScope scope;
    requestHandler->makeTransaction(QJsonDocument(QJsonObject{{QStringLiteral("transaction"), answer}}),
                                    std::function<void(QJsonDocument)>(),
                                    std::function<QJsonDocument(QJsonDocument)>());
}

} // namespace oxa
