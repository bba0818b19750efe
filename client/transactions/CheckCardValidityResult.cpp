#include "client/transactions/CheckCardValidityResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct CheckCardValidityResult::Impl {
    std::tm timeStamp{};
    std::string clippedPAN;
    std::string cardBrandName;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

CheckCardValidityResult::CheckCardValidityResult(const std::string& reply, const std::string& terminalIdentifier)
{
    auto impl = std::make_shared<Impl>();
    impl->terminalIdentifier = terminalIdentifier;
    ParsedReply parsed = parseReply("CheckCardValidity", reply);
    impl->error = std::move(parsed.error);
    if (!impl->error) {
        const std::string date = readText(parsed.result, "date");
        if (!date.empty())
            impl->timeStamp = parseDate(date);
        impl->clippedPAN = readText(parsed.result, "clippedPAN");
        impl->cardBrandName = readText(parsed.result, "cardBrandName");
    }
    impl_ = std::move(impl);
}

std::tm CheckCardValidityResult::timeStamp() const { return impl_->timeStamp; }
std::string CheckCardValidityResult::clippedPAN() const { return impl_->clippedPAN; }
std::string CheckCardValidityResult::cardBrandName() const { return impl_->cardBrandName; }
std::string CheckCardValidityResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> CheckCardValidityResult::error() const { return impl_->error; }

} // namespace ect
