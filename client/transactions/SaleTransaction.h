#pragma once

#include "client/transactions/SaleAction.h"
#include "client/transactions/SaleConstructorTable.h"
#include "client/transactions/SaleResult.h"

namespace ect {

class SaleTransaction;
using SaleTransactionTable = SaleConstructorTable<SaleTransaction, SaleResult, SaleAction,
                                                  std::tuple<SaleAction, const Amount&>, std::tuple<>>;

// A payment of the sale family: sale, sale with delivery confirmation,
// reservation, refund or cash advance. Its result reaches the host with the
// client ticket. A delivery question, which only the class made for it
// answers, is refused and the terminal's final result awaited.
class SaleTransaction : public SaleTransactionTable {
public:
    using SaleTransactionTable::SaleConstructorTable;
    using SaleLikeTransaction::addCardIdentifierFilter;
    using SaleLikeTransaction::addCardIdentifierFilters;
    using SaleLikeTransaction::addProprietaryData;
    using SaleLikeTransaction::setAcquirerDiscretionaryData;

private:
    friend ServiceTransaction;
    friend SaleTransactionTable;

    static Json::Value saleRequest(SaleAction action, const Amount& amount);
    static SaleAction saleExtra(SaleAction action, const Amount& amount);
    SaleResult makeResult(const std::string& reply) override;
};

} // namespace ect
