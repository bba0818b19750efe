#include "client/transactions/SaleWithCashbackResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct SaleWithCashbackResult::Impl {
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

SaleWithCashbackResult::SaleWithCashbackResult(const std::string& reply, const std::string& terminalIdentifier)
    : SaleWithCashbackResult(parseReply("SaleWithCashback", reply), terminalIdentifier)
{
}

SaleWithCashbackResult::SaleWithCashbackResult(ParsedReply const& reply, const std::string& terminalIdentifier)
    : SaleResultInfo(reply.result)
    , impl_(std::make_shared<Impl>(
          Impl{readActionIdentifier(reply.result, "saleSystemActionIdentifier"), reply.error, terminalIdentifier}))
{
}

boost::optional<ECTSaleSystemActionIdentifier> SaleWithCashbackResult::saleSystemActionIdentifier() const
{
    return impl_->saleSystemActionIdentifier;
}
std::string SaleWithCashbackResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> SaleWithCashbackResult::error() const { return impl_->error; }

} // namespace ect
