#include "translators/JsonZUVASaleTransactionRequest.h"

#include "common/ECTError.h"
#include "encoding/CardBrandIdentifierUtility.h"
#include "encoding/ECTCurrencyManager.h"
#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "encoding/StringUtils.h"
#include "encoding/ZUVAUtils.h"
#include "encoding/ber/BerTlvParser.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& Amounts = *new Ber::BerTag(0xEA);
const Ber::BerTag& SmartPayMode = *new Ber::BerTag(0xDF, 0x94, 0x65);
const Ber::BerTag& MerchantReference = *new Ber::BerTag(0xDF, 0x22);
const Ber::BerTag& AmountType = *new Ber::BerTag(0xDF, 0x23);
const Ber::BerTag& AmountValue = *new Ber::BerTag(0xDF, 0x24);
const Ber::BerTag& DeliveryOptions = *new Ber::BerTag(0xDF, 0x95, 0x3F);

const unsigned char BerIdBasicAmount[] = {0x00, 0x01};
const unsigned char BeridCashBackAmount[] = {0x00, 0x03};

const std::chrono::seconds kTimeoutBeyondCardRecognition(670);
const char* const kDeliveryConfirmationBits = "10000000000000000000000000000000";
const char* const kProcessingApplication = "0035";

constexpr int kMaximumMerchantReference = 100;
constexpr int kAuthorizationCodeLength = 6;
constexpr int kMaximumDiscretionaryData = 512;
constexpr int kMaximumProprietaryData = 1972;
constexpr int kPositionDigits = 2;

struct ActionName {
    const char* text;
    SaleAction action;
};

// Compared in this order; an unknown text is a plain sale.
const ActionName kActionNames[] = {
    {"Sale", Sale},
    {"SaleWithDeliveryConfirmation", SaleWithDeliveryConfirmation},
    {"SaleWithCashback", SaleWithCashback},
    {"Reservation", Reservation},
    {"Refund", Refund},
    {"CashAdvance", CashAdvance},
    {"CancelSale", CancelSale},
    {"CancelReservation", CancelReservation},
    {"CancelCashAdvance", CancelCashAdvance},
    {"CancelSaleAfterReservation", CancelSaleAfterReservation},
    {"CashAdvanceAfterVoiceReferral", CashAdvanceAfterVoiceReferral},
    {"SaleAfterReservation", SaleAfterReservation},
    {"SaleAfterVoiceReferral", SaleAfterVoiceReferral},
};

// The request's hexadecimal fields, checked and turned into bytes.
struct SaleBytes {
    boost::optional<Ber::BerData> discretionaryData;
    boost::optional<Ber::BerData> proprietaryData;
    boost::optional<Ber::BerData> saleSystemActionIdentifier;
};

SaleAction saleActionOf(QString const& text)
{
    for (const ActionName& name : kActionNames) {
        if (text == QLatin1String(name.text))
            return name.action;
    }
    return Sale;
}

ECTDataZUVADigital serviceTransactionIdentifer(SaleAction action)
{
    switch (action) {
    case Sale:
    case SaleWithCashback:
    case SaleWithDeliveryConfirmation:
        return ECTDataZUVADigital("8810");
    case CancelSale:
        return ECTDataZUVADigital("8891");
    case Reservation:
        return ECTDataZUVADigital("8830");
    case CancelReservation:
        return ECTDataZUVADigital("8893");
    case SaleAfterReservation:
        return ECTDataZUVADigital("8843");
    case CancelSaleAfterReservation:
        return ECTDataZUVADigital("8894");
    case Refund:
        return ECTDataZUVADigital("8860");
    case SaleAfterVoiceReferral:
        return ECTDataZUVADigital("8811");
    case CashAdvance:
        return ECTDataZUVADigital("8820");
    case CancelCashAdvance:
        return ECTDataZUVADigital("8892");
    case CashAdvanceAfterVoiceReferral:
        return ECTDataZUVADigital("8822");
    }
    return ECTDataZUVADigital("0000");
}

bool sendsAuthorizationCode(SaleAction action)
{
    switch (action) {
    case CancelSale:
    case CancelReservation:
    case SaleAfterReservation:
    case CancelSaleAfterReservation:
    case SaleAfterVoiceReferral:
    case CancelCashAdvance:
        return true;
    default:
        return false;
    }
}

ect::ECTError rejected(ect::ECTErrorCauseCode cause)
{
    return ect::ECTError(ect::ECTErrorCode::Rejected, cause);
}

ECTCurrency configuredCurrency(OXAEnvironment const& environment)
{
    const QString code = environment.get(QStringLiteral("currencyCode")).toString();
    if (const auto currency = ECTCurrencyManager::shared().currencyWithCode(code.toStdString()))
        return *currency;
    throw ect::ECTError(ect::ECTErrorCode::Rejected, ect::ECTErrorCauseCode::RetailService_InvalidCurrencyCode,
                        {{"reason", "unknown currency code \"" + code.toStdString() + "\""}});
}

// Each field's refusal covers both its size and its spelling.
SaleBytes checkedFields(SaleData const& data)
{
    if (data.merchantReference && data.merchantReference->size() > kMaximumMerchantReference)
        throw rejected(ect::ECTErrorCauseCode::RetailService_InvalidMerchantReference);
    if (data.authorizationCode && data.authorizationCode->size() != kAuthorizationCodeLength)
        throw rejected(ect::ECTErrorCauseCode::RetailService_InvalidAuthorizationCode);
    SaleBytes bytes;
    if (data.discretionaryData) {
        const ect::ECTError refusal = rejected(ect::ECTErrorCauseCode::RetailService_InvalidDiscretionaryData);
        if (data.discretionaryData->size() > kMaximumDiscretionaryData)
            throw refusal;
        bytes.discretionaryData = RetailRequestFields::hexBytes(*data.discretionaryData, refusal);
    }
    if (data.proprietaryData) {
        const ect::ECTError refusal = rejected(ect::kInvalidProprietaryData);
        if (data.proprietaryData->size() > kMaximumProprietaryData)
            throw refusal;
        bytes.proprietaryData = RetailRequestFields::hexBytes(*data.proprietaryData, refusal);
    }
    if (data.saleSystemActionIdentifier)
        bytes.saleSystemActionIdentifier = RetailRequestFields::saleSystemActionIdentifier(*data.saleSystemActionIdentifier);
    if (data.action == SaleWithCashback && !data.cashbackAmount)
        throw rejected(ect::ECTErrorCauseCode::RetailService_CashbackNotSpecified);
    return bytes;
}

Ber::BerTlv getBerAmount(const unsigned char* amountTypeId, boost::optional<Amount> const& amount)
{
    Ber::BerTlv entry(Entry);
    entry.addData(AmountType, Ber::BerData(amountTypeId, 2));
    entry.addData(AmountValue, amount->data());
    return entry;
}

Ber::BerData acquirerDiscretionaryElement(QString const& text)
{
    return Ber::BerTlvBuilder(Ber::BerTlv(AcquirerDiscretionaryData, Ber::toBerData(text))).buildData();
}

// What only some actions carry: the authorization code, the cash-back
// amounts or the delivery time-out.
void addActionElements(SaleData const& data, OXAEnvironment const& environment, Ber::BerTlv& service)
{
    if (sendsAuthorizationCode(data.action)) {
        Ber::addOptDataTag(data.authorizationCode, AuthorizationCode, service);
    } else if (data.action == SaleWithCashback) {
        Ber::BerTlv amounts(Amounts);
        amounts.addData(getBerAmount(BerIdBasicAmount, data.amount));
        amounts.addData(getBerAmount(BeridCashBackAmount, data.cashbackAmount));
        service.addData(amounts);
    } else if (data.action == SaleWithDeliveryConfirmation
               && environment.get(QStringLiteral("deliveryTimeout")).isValid()) {
        const int seconds = RetailRequestFields::timeoutSetting(environment, QStringLiteral("deliveryTimeout"));
        service.addData(JsonZUVAServiceRequest::timeoutElement(DeliveryTimeout, seconds));
    }
}

Ber::BerTlv serviceData(SaleData const& data, SaleBytes const& bytes, OXAEnvironment const& environment,
                        Ber::BerTlv const& recognitionTimeout)
{
    Ber::BerTlv service(ServiceData);
    service.addData(recognitionTimeout);
    if (bytes.saleSystemActionIdentifier)
        service.addData(SaleSystemActionIdentifier, *bytes.saleSystemActionIdentifier);
    else if (data.action == SaleWithDeliveryConfirmation)
        service.addData(SaleSystemActionIdentifier, Ber::BerData{0x00, 0x00, 0x00, 0x00});
    service.addData(ServiceTransactionIdentifier, serviceTransactionIdentifer(data.action));
    service.addData(AmountTag, (data.totalAmount ? *data.totalAmount : *data.amount).data());
    service.addData(CurrencyCode, data.amount->currency().data());
    if (data.smartPay) {
        service.addData(RecognitionOption, Ber::BerData{0x03});
        service.addData(SmartPayMode, Ber::BerData{0x01});
    }
    Ber::addOptDataTag(data.merchantReference, MerchantReference, service);
    if (data.acquirerDiscretionaryData)
        service.addData(PrivateData, acquirerDiscretionaryElement(*data.acquirerDiscretionaryData));
    else if (bytes.discretionaryData)
        service.addData(PrivateData, *bytes.discretionaryData);
    addActionElements(data, environment, service);
    return service;
}

boost::optional<Ber::BerTlv> optionalData(SaleData const& data, SaleBytes const& bytes)
{
    const bool confirmsDelivery = data.action == SaleWithDeliveryConfirmation;
    if (!confirmsDelivery && !bytes.proprietaryData)
        return boost::none;
    Ber::BerTlv optional(OptionalData);
    if (confirmsDelivery)
        optional.addData(DeliveryOptions, ECTDataHexa(StringUtils::convertBinaryToHexa(kDeliveryConfirmationBits)));
    if (bytes.proprietaryData)
        optional.addData(ProprietaryData, *bytes.proprietaryData);
    return optional;
}

boost::optional<Ber::BerTlv> cardBrandFilter(int mask)
{
    const CardBrandIdentifierUtility utility;
    const std::vector<ect::CardBrandIdentifier> brands = utility.brands(mask);
    if (brands.empty())
        return boost::none;
    Ber::BerTlv list(CardBrandList);
    int position = 0;
    for (const ect::CardBrandIdentifier brand : brands) {
        Ber::BerTlv entry(Entry);
        entry.addData(BrandIdentifier, ECTDataZUVADigital(utility.identifierFor(brand)));
        entry.addData(ProcessingApplication, ECTDataZUVADigital(kProcessingApplication));
        entry.addData(BrandPosition, ECTDataZUVADigital(++position, kPositionDigits));
        list.addData(entry);
    }
    Ber::BerTlv filter(CardData);
    filter.addData(list);
    return filter;
}

} // namespace

JsonZUVASaleTransactionRequest::JsonZUVASaleTransactionRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cd"), Ber::BerData{0x00, 0x0A},
                             kTimeoutBeyondCardRecognition)
{
}

SaleData JsonZUVASaleTransactionRequest::parseJson(QJsonObject const& request) const
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    SaleData data;
    data.action = saleActionOf(RetailRequestFields::requireAction(transaction));
    const ECTCurrency currency = configuredCurrency(*environment());
    data.amount = Amount(transaction.value(QStringLiteral("amount")).toString(), currency);
    if (data.action == SaleWithCashback && transaction.contains(QStringLiteral("cashbackAmount"))) {
        data.cashbackAmount = Amount(transaction.value(QStringLiteral("cashbackAmount")).toString(), currency);
        data.totalAmount = Amount::sum(*data.amount, *data.cashbackAmount);
    }
    assignOptJsonString(data.merchantReference, QStringLiteral("merchantReference"), transaction);
    assignOptJsonString(data.discretionaryData, QStringLiteral("discretionaryData"), transaction);
    assignOptJsonString(data.acquirerDiscretionaryData, QStringLiteral("acquirerDiscretionaryData"), transaction);
    assignOptJsonString(data.proprietaryData, QStringLiteral("proprietaryData"), transaction);
    assignOptJsonString(data.saleSystemActionIdentifier, QStringLiteral("saleSystemActionIdentifier"), transaction);
    assignOptJsonString(data.authorizationCode, QStringLiteral("authorizationCode"), transaction);
    assignOptJsonBool(data.smartPay, false, QStringLiteral("smartPay"), transaction);
    assignOptJsonInt(data.cardBrandIdentifiersFilter, 0, QStringLiteral("cardBrandIdentifiersFilter"), transaction);
    return data;
}

boost::optional<std::int64_t> JsonZUVASaleTransactionRequest::requestedAmount(QByteArray const& body) const
{
    const auto found =
        Ber::getValue(Ber::BerTlvParser().parseConstructed(Ber::BerData(body)), ServiceData, AmountTag);
    return found ? boost::make_optional(found->value.ZUVALongValue()) : boost::none;
}

bool JsonZUVASaleTransactionRequest::cancelsAnother(QByteArray const& body) const
{
    const auto found = Ber::getValue(Ber::BerTlvParser().parseConstructed(Ber::BerData(body)), ServiceData,
                                     ServiceTransactionIdentifier);
    if (!found)
        return false;
    for (SaleAction cancellation : {CancelSale, CancelReservation, CancelCashAdvance, CancelSaleAfterReservation}) {
        if (found->value == serviceTransactionIdentifer(cancellation))
            return true;
    }
    return false;
}

void JsonZUVASaleTransactionRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    SaleData data = parseJson(request);
    const SaleBytes bytes = checkedFields(data);
    data.cardRecognitionTimeout =
        RetailRequestFields::timeoutSetting(*environment(), QStringLiteral("cardRecognitionTimeout"));
    const Ber::BerTlv service = serviceData(data, bytes, *environment(),
                                            waitedTimeoutElement(RecognitionTimeout, data.cardRecognitionTimeout));
    const boost::optional<Ber::BerTlv> optional = optionalData(data, bytes);
    const boost::optional<Ber::BerTlv> filter = cardBrandFilter(data.cardBrandIdentifiersFilter);
    builder.addBerTlv(service);
    if (optional)
        builder.addBerTlv(*optional);
    if (filter)
        builder.addBerTlv(*filter);
}

} // namespace oxa
