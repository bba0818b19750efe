#include "client/transactions/SaleWithCashbackTransaction.h"

namespace ect {

Json::Value SaleWithCashbackTransaction::saleRequest(const Amount& amount, const Amount& cashbackAmount)
{
    Json::Value request = SaleLikeTransaction::saleRequest("SaleWithCashback", "Sale", amount);
    request["transaction"]["cashbackAmount"] = cashbackAmount.toString();
    return request;
}

NoExtraState SaleWithCashbackTransaction::saleExtra(const Amount& /*amount*/, const Amount& /*cashbackAmount*/)
{
    return NoExtraState();
}

SaleWithCashbackResult SaleWithCashbackTransaction::makeResult(const std::string& reply)
{
    return SaleWithCashbackResult(reply, terminalId());
}

std::unique_ptr<SaleWithCashbackTransaction> MakeSaleWithCashbackTransaction(
    const Amount& amount, const Amount& cashbackAmount,
    std::function<void(const SaleWithCashbackResult&)> callback)
{
    return std::make_unique<SaleWithCashbackTransaction>(amount, cashbackAmount, std::move(callback));
}

} // namespace ect
