#include "translators/JsonZUVACardValidityCheckRequest.h"

#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const char* const kValidityCheckService = "8850";
const char* const kZeroAmount = "000000000000";
const char* const kEuro = "0978";
const std::chrono::seconds kTimeoutBeyondRecognition(70);

} // namespace

JsonZUVACardValidityCheckRequest::JsonZUVACardValidityCheckRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cd"), Ber::BerData{0x00, 0x0A},
                             kTimeoutBeyondRecognition)
{
}

void JsonZUVACardValidityCheckRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    const int recognitionTimeout = RetailRequestFields::timeoutFieldOrSetting(
        transaction, QStringLiteral("recognitionTimeout"), *environment(), QStringLiteral("cardRecognitionTimeout"));
    Ber::BerTlv service(ServiceData);
    service.addData(waitedTimeoutElement(RecognitionTimeout, recognitionTimeout));
    service.addData(ServiceTransactionIdentifier, ECTDataZUVADigital(kValidityCheckService));
    service.addData(AmountTag, ECTDataHexa(kZeroAmount));
    service.addData(CurrencyCode, ECTDataHexa(kEuro));
    builder.addBerTlv(service);
}

} // namespace oxa
