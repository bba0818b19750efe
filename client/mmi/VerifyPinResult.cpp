#include "client/mmi/VerifyPinResult.h"

#include "client/TransactionHelpers.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace ect {

struct VerifyPinResult::Impl {
    int attemptsLeft = 0;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

namespace {

int clampedToInt(long long value)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(value, INT_MIN), INT_MAX));
}

} // namespace

VerifyPinResult::VerifyPinResult(const std::string& name, const std::string& reply, const std::string& terminalId)
{
    auto impl = std::make_shared<Impl>();
    impl->terminalIdentifier = terminalId;
    const ParsedReply parsed = parseReply(name, reply);
    impl->error = parsed.error;
    impl->attemptsLeft = clampedToInt(readInteger(parsed.result, "attemptsLeft"));
    impl_ = std::move(impl);
}

int VerifyPinResult::attemptsLeft() const
{
    if (!impl_->error)
        return impl_->attemptsLeft;
    const ECTError::ExtraInformation extra = impl_->error->extraInformationData();
    const auto entry = extra.find("attemptsLeft");
    if (entry == extra.end())
        return impl_->attemptsLeft;
    // strtoll saturates at the limits of long long, which hold every int on
    // both targets; long alone is 32 bits on one of them.
    return clampedToInt(std::strtoll(entry->second.c_str(), nullptr, 10));
}

boost::optional<ECTError> VerifyPinResult::error() const
{
    return impl_->error;
}

std::string VerifyPinResult::terminalIdentifier() const
{
    return impl_->terminalIdentifier;
}

} // namespace ect
