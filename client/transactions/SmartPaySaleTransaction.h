#pragma once

#include "client/transactions/SaleLikeTransaction.h"
#include "client/transactions/SaleResult.h"

namespace ect {

// A plain sale whose request asks the terminal for smart pay.
class SmartPaySaleTransaction : public SaleLikeTransaction<SmartPaySaleTransaction, SaleResult> {
public:
    SmartPaySaleTransaction(const Amount& amount, Callback callback);
    SmartPaySaleTransaction(const Amount& amount, const std::string& merchantReference, Callback callback);

private:
    friend ServiceTransaction;
    using SaleLikeTransaction::SaleLikeTransaction;

    SaleResult makeResult(const std::string& reply) override;
};

} // namespace ect
