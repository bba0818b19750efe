#pragma once

#include "client/transactions/SaleAction.h"
#include "client/transactions/SaleConstructorTable.h"
#include "client/transactions/SaleResult.h"

#include <functional>

namespace ect {

using DeliveryCallback = std::function<ProductDeliveryBlockReturnValue(const SaleResult&)>;

class SaleWithDeliveryConfirmationTransaction;
using SaleWithDeliveryConfirmationTable =
    SaleConstructorTable<SaleWithDeliveryConfirmationTransaction, SaleResult, DeliveryCallback,
                         std::tuple<const Amount&>, std::tuple<DeliveryCallback>>;

// A sale during which the terminal asks whether the product was delivered.
// Each question goes to the delivery callback, whose verdict is sent back at
// once (an empty or throwing callback refuses the delivery); the final
// result then reaches the result callback with the client ticket. The
// delivery callback runs on the thread that delivered the question and must
// not wait for anything that needs that thread.
class SaleWithDeliveryConfirmationTransaction : public SaleWithDeliveryConfirmationTable {
public:
    using SaleWithDeliveryConfirmationTable::SaleConstructorTable;
    using SaleLikeTransaction::addCardIdentifierFilter;
    using SaleLikeTransaction::addCardIdentifierFilters;
    using SaleLikeTransaction::addProprietaryData;
    using SaleLikeTransaction::setAcquirerDiscretionaryData;

    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override;

private:
    friend ServiceTransaction;
    friend SaleWithDeliveryConfirmationTable;

    static Json::Value saleRequest(const Amount& amount);
    static DeliveryCallback saleExtra(const Amount& amount, DeliveryCallback deliveryCallback);
    SaleResult makeResult(const std::string& reply) override;
    std::string answerQuestion(const std::string& question) override;
};

} // namespace ect
