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
constexpr int kTimeoutDigits = 4;

} // namespace

JsonZUVACardValidityCheckRequest::JsonZUVACardValidityCheckRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cd"), Ber::BerData{0x00, 0x0A},
                             kTimeoutBeyondRecognition)
{
}

std::chrono::seconds JsonZUVACardValidityCheckRequest::getTransactionTimeout() const
{
    return JsonZUVAServiceRequest::getTransactionTimeout() + std::chrono::seconds(m_recognitionTimeout.load());
}

void JsonZUVACardValidityCheckRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    const int recognitionTimeout = RetailRequestFields::timeoutFieldOrSetting(
        transaction, QStringLiteral("recognitionTimeout"), *environment(), QStringLiteral("cardRecognitionTimeout"));
    Ber::BerTlv service(ServiceData);
    service.addData(RecognitionTimeout, ECTDataZUVADigital(recognitionTimeout, kTimeoutDigits));
    service.addData(ServiceTransactionIdentifier, ECTDataZUVADigital(kValidityCheckService));
    service.addData(AmountTag, ECTDataHexa(kZeroAmount));
    service.addData(CurrencyCode, ECTDataHexa(kEuro));
    builder.addBerTlv(service);
    m_recognitionTimeout = recognitionTimeout;
}

} // namespace oxa
