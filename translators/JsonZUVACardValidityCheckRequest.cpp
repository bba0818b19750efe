#include "translators/JsonZUVACardValidityCheckRequest.h"

#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "translators/RetailRequestFields.h"

namespace oxa {

namespace {

const Ber::BerTag ServiceData(0xBF, 0x81, 0x16);
const Ber::BerTag RecognitionTimeout(0xDF, 0x94, 0x68);
const Ber::BerTag ServiceTransactionIdentifier(0xDF, 0x21);
const Ber::BerTag AmountTag(0xDF, 0x50);
const Ber::BerTag CurrencyCode(0x5F, 0x2A);

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
