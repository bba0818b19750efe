#include "client/transactions/AuthorizedSaleResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct AuthorizedSaleResult::Impl {
    AuthorizedSaleAction action;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

AuthorizedSaleResult::AuthorizedSaleResult(AuthorizedSaleAction action, const std::string& reply,
                                           const std::string& terminalIdentifier)
    : AuthorizedSaleResult(action, parseReply(toString(action), reply), terminalIdentifier)
{
}

AuthorizedSaleResult::AuthorizedSaleResult(AuthorizedSaleAction action, ParsedReply const& reply,
                                           const std::string& terminalIdentifier)
    : SaleResultInfo(reply.result)
    , impl_(std::make_shared<Impl>(
          Impl{action, readActionIdentifier(reply.result, "saleSystemActionIdentifier"), reply.error, terminalIdentifier}))
{
}

AuthorizedSaleAction AuthorizedSaleResult::action() const { return impl_->action; }
boost::optional<ECTSaleSystemActionIdentifier> AuthorizedSaleResult::saleSystemActionIdentifier() const
{
    return impl_->saleSystemActionIdentifier;
}
std::string AuthorizedSaleResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> AuthorizedSaleResult::error() const { return impl_->error; }

} // namespace ect
