#include "translators/JsonZUVAOperationRequest.h"

#include "encoding/ECTDataZUVADigital.h"
#include "translators/OperationRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& OperationCode = *new Ber::BerTag(0xDF, 0x94, 0x66);

} // namespace

JsonZUVAOperationRequest::JsonZUVAOperationRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Co"), Ber::BerData{0x00, 0x0A},
                             std::chrono::seconds(60))
{
}

void JsonZUVAOperationRequest::addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder)
{
    const QJsonObject transaction = transactionOf(request);
    Ber::BerTlv serviceData(ServiceData);
    // An identifier that cannot be read is refused: an empty one could make
    // the terminal act on another transaction than the one meant.
    if (const auto identifier = OperationRequestFields::saleSystemActionIdentifier(transaction))
        serviceData.addData(SaleSystemActionIdentifier, *identifier);
    serviceData.addData(OperationCode, ECTDataZUVADigital(operationCode(transaction)));
    builder.addBerTlv(serviceData);
    addOperationDetails(transaction, builder);
}

void JsonZUVAOperationRequest::addOperationDetails(const QJsonObject&, Ber::BerTlvBuilder&)
{
}

} // namespace oxa
