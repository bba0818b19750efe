#pragma once

#include "client/transactions/LastTransactionResult.h"
#include "client/transactions/SaleLikeTransaction.h"

namespace ect {

// Asks a terminal for the outcome of the last transaction it processed,
// delivered with that transaction's client ticket.
class LastTransactionStatusTransaction
    : public SaleLikeTransaction<LastTransactionStatusTransaction, LastTransactionResult> {
public:
    explicit LastTransactionStatusTransaction(Callback callback);

private:
    friend ServiceTransaction;
    using SaleLikeTransaction::SaleLikeTransaction;

    LastTransactionResult makeResult(const std::string& reply) override;
};

} // namespace ect
