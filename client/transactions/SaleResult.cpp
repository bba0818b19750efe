#include "client/transactions/SaleResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct SaleResult::Impl {
    SaleAction action;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

namespace {

boost::optional<ECTSaleSystemActionIdentifier> identifierOf(ParsedReply const& reply)
{
    if (reply.error) {
        try {
            return reply.error->originalSaleSystemActionIdentifier();
        } catch (ECTError const&) {
            return boost::none; // not 4 bytes: the terminal's error stands alone
        }
    }
    return readActionIdentifier(reply.result, "saleSystemActionIdentifier");
}

} // namespace

SaleResult::SaleResult(SaleAction action, const std::string& reply, const std::string& terminalIdentifier)
    : SaleResult(action, parseReply(toString(action), reply), terminalIdentifier)
{
}

SaleResult::SaleResult(SaleAction action, ParsedReply const& reply, const std::string& terminalIdentifier)
    : SaleResultInfo(reply.result)
    , impl_(std::make_shared<Impl>(Impl{action, identifierOf(reply), reply.error, terminalIdentifier}))
{
}

SaleAction SaleResult::action() const { return impl_->action; }
boost::optional<ECTSaleSystemActionIdentifier> SaleResult::saleSystemActionIdentifier() const
{
    return impl_->saleSystemActionIdentifier;
}
std::string SaleResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> SaleResult::error() const { return impl_->error; }

} // namespace ect
