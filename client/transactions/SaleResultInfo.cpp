#include "client/transactions/SaleResultInfo.h"

#include "client/TransactionHelpers.h"
#include "client/transactions/CardType.h"
#include "common/HexToBytes.h"

namespace ect {

struct SaleResultInfo::Impl {
    boost::optional<std::tm> date;
    std::string authorizationCode;
    boost::optional<double> authorizedAmount;
    std::string currency;
    std::string acquirerDiscretionaryData;
    std::string acquirerId;
    std::string language;
    std::string clippedPAN;
    std::string cardBrandName;
    std::string cardBrandIdentifier;
    std::string clientTicket;
    std::string merchantTicket;
    std::string merchantText;
    std::string ticketDiscreteElements;
    std::string ticketLayoutIdentifier;
    bool signatureRequired = false;
    boost::optional<double> additionalAmount;
    boost::optional<bool> partialApproval;
    boost::optional<std::vector<unsigned char>> proprietaryData;
    CardType cardType;
    bool processedInBackupMode = false;
};

namespace {

boost::optional<std::tm> optionalDate(const Json::Value& result)
{
    const boost::optional<std::string> text = readOptionalText(result, "date");
    if (!text)
        return boost::none;
    return parseDate(*text);
}

// The engine writes the acquirer of a sale as a number.
std::string acquirerText(const Json::Value& result)
{
    if (const auto number = readOptionalInteger(result, "acquirerId"))
        return std::to_string(*number);
    return readText(result, "acquirerId");
}

Json::Value objectMember(const Json::Value& object, const char* key)
{
    return object.isObject() ? object[key] : Json::Value();
}

} // namespace

SaleResultInfo::SaleResultInfo(const Json::Value& result)
    : impl_(std::make_shared<Impl>())
{
    Impl& state = *impl_;
    state.date = optionalDate(result);
    state.ticketDiscreteElements = readText(result, "ticketDiscreteElements");
    state.ticketLayoutIdentifier = readText(result, "ticketLayoutIdentifier");
    state.authorizationCode = readText(result, "authorizationCode");
    state.language = readText(result, "language");
    state.authorizedAmount = readOptionalNumber(result, "authorizedAmount");
    state.currency = readText(result, "currency");
    state.clippedPAN = readText(result, "clippedPAN");
    state.cardBrandName = readText(result, "cardBrandName");
    state.cardBrandIdentifier = readText(result, "cardBrandIdentifier");
    state.clientTicket = readText(result, "clientTicket");
    state.merchantTicket = readText(result, "merchantTicket");
    state.merchantText = readText(result, "merchantText");
    state.acquirerId = acquirerText(result);
    state.acquirerDiscretionaryData = readText(result, "acquirerDiscretionaryData");
    state.partialApproval = readOptionalBool(result, "partialApproval");
    state.additionalAmount = readOptionalNumber(result, "additionalAmount");
    if (result.isObject() && result.isMember("proprietaryData"))
        state.proprietaryData = ect::HexToBytes(readText(result, "proprietaryData"));
    state.cardType = CardType::read(objectMember(result, "cardType"));
    const Json::Value verification = objectMember(result, "cardHolderVerificationMethod");
    state.processedInBackupMode = readBool(verification, "processedInBackupMode");
    state.signatureRequired = readBool(verification, "signatureRequired");
}

std::vector<unsigned char> SaleResultInfo::HexToBytes(const std::string& text) const
{
    return ect::HexToBytes(text);
}

boost::optional<std::tm> SaleResultInfo::timeStamp() const { return impl_->date; }
double SaleResultInfo::authorizedAmount() const { return impl_->authorizedAmount.value_or(0.0); }
bool SaleResultInfo::hasAuthorizedAmount() const { return impl_->authorizedAmount.has_value(); }
std::string SaleResultInfo::currency() const { return impl_->currency; }
std::string SaleResultInfo::authorizationCode() const { return impl_->authorizationCode; }
std::string SaleResultInfo::acquirerDiscretionaryData() const { return impl_->acquirerDiscretionaryData; }
std::string SaleResultInfo::acquirerId() const { return impl_->acquirerId; }
std::string SaleResultInfo::language() const { return impl_->language; }
std::string SaleResultInfo::clippedPAN() const { return impl_->clippedPAN; }
std::string SaleResultInfo::cardBrandName() const { return impl_->cardBrandName; }
std::string SaleResultInfo::cardBrandIdentifier() const { return impl_->cardBrandIdentifier; }
std::string SaleResultInfo::clientTicket() const { return impl_->clientTicket; }
std::string SaleResultInfo::merchantTicket() const { return impl_->merchantTicket; }
std::string SaleResultInfo::merchantText() const { return impl_->merchantText; }
bool SaleResultInfo::signatureRequired() const { return impl_->signatureRequired; }
boost::optional<double> SaleResultInfo::additionalAmount() const { return impl_->additionalAmount; }
boost::optional<bool> SaleResultInfo::partialApproval() const { return impl_->partialApproval; }
std::string SaleResultInfo::ticketLayoutIdentifier() const { return impl_->ticketLayoutIdentifier; }
std::string SaleResultInfo::ticketDiscreteElements() const { return impl_->ticketDiscreteElements; }
boost::optional<std::vector<unsigned char>> SaleResultInfo::proprietaryData() const { return impl_->proprietaryData; }
bool SaleResultInfo::isContactless() const { return impl_->cardType.contactless; }
bool SaleResultInfo::isMagneticStripe() const { return impl_->cardType.magneticStripe; }
bool SaleResultInfo::isIccEmv() const { return impl_->cardType.iccEmv; }
bool SaleResultInfo::isIccNonEmv() const { return impl_->cardType.iccNonEmv; }
bool SaleResultInfo::isBarCode() const { return impl_->cardType.barCode; }
bool SaleResultInfo::isManualEntry() const { return impl_->cardType.manualEntry; }
bool SaleResultInfo::isSynchronousChip() const { return impl_->cardType.synchronousChip; }
bool SaleResultInfo::isAsynchronousChip() const { return impl_->cardType.asynchronousChip; }
bool SaleResultInfo::processedInBackupMode() const { return impl_->processedInBackupMode; }

void SaleResultInfo::updateClientTicket(const std::string& ticket) const
{
    impl_->clientTicket = ticket;
}

} // namespace ect
