#include "client/ServiceInformationResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct ServiceInformationResult::Impl {
    bool cashbackEnabled = false;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

ServiceInformationResult::ServiceInformationResult(const std::string& reply, const std::string& terminalIdentifier)
{
    auto impl = std::make_shared<Impl>();
    ParsedReply parsed = parseReply("InformationService", reply);
    impl->cashbackEnabled = readBool(parsed.result, "cashbackEnabled");
    impl->error = std::move(parsed.error);
    impl->terminalIdentifier = terminalIdentifier;
    impl_ = std::move(impl);
}

bool ServiceInformationResult::cashbackEnabled() const
{
    return impl_->cashbackEnabled;
}

std::string ServiceInformationResult::terminalIdentifier() const
{
    return impl_->terminalIdentifier;
}

boost::optional<ECTError> ServiceInformationResult::error() const
{
    return impl_->error;
}

} // namespace ect
