#include "translators/JsonZUVACardRecognitionRequest.h"

#include "encoding/ZUVAUtils.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& NextRequestTimeout = *new Ber::BerTag(0xDF, 0x94, 0x67);
const Ber::BerTag& ApplicationSelection = *new Ber::BerTag(0xDF, 0x91, 0x5D);

const unsigned char RecognitionOptionCardNotUsed = 0x03;
const unsigned char RecognitionOptionCardWithdrawalNotRequested = 0x01;
const unsigned char RecognitionOptionCardWithdrawalRequested = 0x02;

const std::chrono::seconds kTimeoutBeyondRecognition(70);

unsigned char recognitionOption(bool smartPay, bool saleAfterCardRecognition)
{
    if (smartPay)
        return RecognitionOptionCardNotUsed;
    return saleAfterCardRecognition ? RecognitionOptionCardWithdrawalNotRequested
                                    : RecognitionOptionCardWithdrawalRequested;
}

} // namespace

JsonZUVACardRecognitionRequest::JsonZUVACardRecognitionRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Ch"), Ber::BerData{0x00, 0x0A},
                             kTimeoutBeyondRecognition)
{
}

void JsonZUVACardRecognitionRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    const int recognitionTimeout = RetailRequestFields::timeoutFieldOrSetting(
        transaction, QStringLiteral("recognitionTimeout"), *environment(), QStringLiteral("cardRecognitionTimeout"));
    const int nextRequestTimeout =
        RetailRequestFields::timeoutFieldOrSetting(transaction, QStringLiteral("nextRequestRecognitionTimeout"),
                                                   *environment(), QStringLiteral("cardInfoTrailingRequestTimeout"));
    bool saleAfterCardRecognition = false;
    bool smartPay = false;
    assignOptJsonBool(saleAfterCardRecognition, false, QStringLiteral("saleAfterCardRecognition"), transaction);
    assignOptJsonBool(smartPay, false, QStringLiteral("smartPay"), transaction);

    Ber::BerTlv service(ServiceData);
    service.addData(waitedTimeoutElement(RecognitionTimeout, recognitionTimeout));
    service.addData(waitedTimeoutElement(NextRequestTimeout, nextRequestTimeout));
    service.addData(RecognitionOption, Ber::BerData{recognitionOption(smartPay, saleAfterCardRecognition)});
    Ber::BerTlv optional(OptionalData);
    optional.addData(ApplicationSelection, Ber::BerData{0xA0, 0x00, 0x00, 0x00});
    builder.addBerTlv(service);
    builder.addBerTlv(optional);
}

} // namespace oxa
