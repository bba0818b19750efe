#include "client/transactions/SmartPaySaleTransaction.h"

namespace ect {

SmartPaySaleTransaction::SmartPaySaleTransaction(const Amount& amount, Callback callback)
    : SaleLikeTransaction(saleRequest(toString(SaleAction::Sale), "Sale", amount), std::move(callback))
{
    transactionObject()["smartPay"] = true;
}

SmartPaySaleTransaction::SmartPaySaleTransaction(const Amount& amount, const std::string& merchantReference,
                                                 Callback callback)
    : SmartPaySaleTransaction(amount, std::move(callback))
{
    addReferences(SaleReferences{merchantReference, boost::none, boost::none});
}

SaleResult SmartPaySaleTransaction::makeResult(const std::string& reply)
{
    return SaleResult(SaleAction::Sale, reply, terminalId());
}

} // namespace ect
