#include "client/transactions/SaleTransaction.h"

namespace ect {

Json::Value SaleTransaction::saleRequest(SaleAction action, const Amount& amount)
{
    return SaleLikeTransaction::saleRequest(toString(action), "Sale", amount);
}

SaleAction SaleTransaction::saleExtra(SaleAction action, const Amount& /*amount*/)
{
    return action;
}

SaleResult SaleTransaction::makeResult(const std::string& reply)
{
    return SaleResult(extra(), reply, terminalId());
}

} // namespace ect
