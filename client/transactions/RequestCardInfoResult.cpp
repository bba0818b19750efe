#include "client/transactions/RequestCardInfoResult.h"

#include "client/TransactionHelpers.h"
#include "client/transactions/CardType.h"

#include <algorithm>

namespace ect {

struct RequestCardInfoResult::Impl {
    std::tm timeStamp{};
    std::string clippedPAN;
    std::string token;
    CardType cardType;
    std::string cardBrandName;
    std::string cardBrandIdentifier;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

namespace {

std::string maskedPan(std::string pan)
{
    std::replace(pan.begin(), pan.end(), 'E', 'x');
    return pan;
}

} // namespace

RequestCardInfoResult::RequestCardInfoResult(const std::string& reply, const std::string& terminalIdentifier)
{
    auto impl = std::make_shared<Impl>();
    ParsedReply parsed = parseReply("RequestCardInfo", reply);
    impl->terminalIdentifier = terminalIdentifier;
    impl->error = std::move(parsed.error);
    if (!impl->error) {
        const Json::Value& result = parsed.result;
        impl->timeStamp = localTimeNow();
        impl->clippedPAN = maskedPan(readText(result, "clippedPAN"));
        impl->token = readText(result, "cardToken");
        impl->cardType = CardType::read(result["cardType"]);
        impl->cardBrandName = readText(result, "cardBrandName");
        impl->cardBrandIdentifier = readText(result, "cardBrandIdentifier");
    }
    impl_ = std::move(impl);
}

std::tm RequestCardInfoResult::timeStamp() const { return impl_->timeStamp; }
std::string RequestCardInfoResult::clippedPAN() const { return impl_->clippedPAN; }
std::string RequestCardInfoResult::token() const { return impl_->token; }
bool RequestCardInfoResult::isContactless() const { return impl_->cardType.contactless; }
bool RequestCardInfoResult::isMagneticStripe() const { return impl_->cardType.magneticStripe; }
bool RequestCardInfoResult::isIccEmv() const { return impl_->cardType.iccEmv; }
bool RequestCardInfoResult::isIccNonEmv() const { return impl_->cardType.iccNonEmv; }
bool RequestCardInfoResult::isBarCode() const { return impl_->cardType.barCode; }
bool RequestCardInfoResult::isManualEntry() const { return impl_->cardType.manualEntry; }
bool RequestCardInfoResult::isSynchronousChip() const { return impl_->cardType.synchronousChip; }
bool RequestCardInfoResult::isAsynchronousChip() const { return impl_->cardType.asynchronousChip; }
std::string RequestCardInfoResult::cardBrandName() const { return impl_->cardBrandName; }
std::string RequestCardInfoResult::cardBrandIdentifier() const { return impl_->cardBrandIdentifier; }
std::string RequestCardInfoResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> RequestCardInfoResult::error() const { return impl_->error; }

} // namespace ect
