#pragma once

#include "client/transactions/SaleConstructorTable.h"
#include "client/transactions/SaleWithCashbackResult.h"

#include <memory>

namespace ect {

class SaleWithCashbackTransaction;
using SaleWithCashbackTable = SaleConstructorTable<SaleWithCashbackTransaction, SaleWithCashbackResult, NoExtraState,
                                                   std::tuple<const Amount&, const Amount&>, std::tuple<>>;

// A sale in which the cardholder also receives cash: the sale amount, then
// the cash-back amount.
class SaleWithCashbackTransaction : public SaleWithCashbackTable {
public:
    using SaleWithCashbackTable::SaleConstructorTable;
    using SaleLikeTransaction::addCardIdentifierFilter;
    using SaleLikeTransaction::addCardIdentifierFilters;
    using SaleLikeTransaction::addProprietaryData;
    using SaleLikeTransaction::setAcquirerDiscretionaryData;

private:
    friend ServiceTransaction;
    friend SaleWithCashbackTable;

    static Json::Value saleRequest(const Amount& amount, const Amount& cashbackAmount);
    static NoExtraState saleExtra(const Amount& amount, const Amount& cashbackAmount);
    SaleWithCashbackResult makeResult(const std::string& reply) override;
};

std::unique_ptr<SaleWithCashbackTransaction> MakeSaleWithCashbackTransaction(
    const Amount& amount, const Amount& cashbackAmount,
    std::function<void(const SaleWithCashbackResult&)> callback);

} // namespace ect
