#include "translators/JsonProductDeliveryRequest.h"

#include "encoding/ZUVAUtils.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

#include <stdexcept>

namespace oxa {

using namespace tags;

namespace {

const QString& kAction = *new QString(QStringLiteral("ProductDelivery"));
const std::chrono::seconds kTimeoutBeyondDelivery(670);

thread_local int openAnswerScopes = 0;

Ber::BerData incidentCodeOf(bool deliveryAccepted)
{
    return deliveryAccepted ? Ber::BerData{0x00, 0x00} : Ber::BerData{0x44, 0x00};
}

} // namespace

JsonProductDeliveryRequest::AnswerScope::AnswerScope()
{
    ++openAnswerScopes;
}

JsonProductDeliveryRequest::AnswerScope::~AnswerScope()
{
    --openAnswerScopes;
}

bool JsonProductDeliveryRequest::AnswerScope::isOpen()
{
    return openAnswerScopes > 0;
}

JsonProductDeliveryRequest::JsonProductDeliveryRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("RR"), Ber::BerData{0x00, 0x0A},
                             kTimeoutBeyondDelivery)
{
}

DeliveryData JsonProductDeliveryRequest::parseJson(QJsonObject const& request)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    if (RetailRequestFields::requireAction(transaction) != kAction)
        throw std::invalid_argument("Invalid JSON : wrong action for product delivery");
    if (!AnswerScope::isOpen())
        throw RetailRequestFields::invalidRequest("no sale is waiting for a product delivery answer");
    DeliveryData data;
    assignOptJsonBool(data.deliveryAccepted, false, QStringLiteral("deliveryAccepted"), transaction);
    assignOptJsonString(data.saleSystemActionIdentifier, QStringLiteral("saleSystemActionIdentifier"), transaction);
    data.deliveryTimeout = RetailRequestFields::timeoutField(transaction, QStringLiteral("deliveryTimeout")).value_or(0);
    assignOptJsonString(data.candidateGroupData, QStringLiteral("candidateGroupData"), transaction);
    return data;
}

void JsonProductDeliveryRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    const DeliveryData data = parseJson(request);
    Ber::BerTlv optional(OptionalData);
    optional.addData(IncidentCode, incidentCodeOf(data.deliveryAccepted));
    Ber::BerTlv service(ServiceData);
    service.addData(waitedTimeoutElement(DeliveryTimeout, data.deliveryTimeout));
    if (data.saleSystemActionIdentifier) {
        service.addData(SaleSystemActionIdentifier,
                        RetailRequestFields::saleSystemActionIdentifier(*data.saleSystemActionIdentifier));
    }
    boost::optional<Ber::BerTlv> candidateGroup;
    if (data.candidateGroupData) {
        candidateGroup =
            RetailRequestFields::base64Element(*data.candidateGroupData, QStringLiteral("candidateGroupData"));
    }
    builder.addBerTlv(optional);
    builder.addBerTlv(service);
    if (candidateGroup)
        builder.addBerTlv(*candidateGroup);
}

} // namespace oxa
