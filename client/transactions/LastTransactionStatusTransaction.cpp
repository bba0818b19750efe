#include "client/transactions/LastTransactionStatusTransaction.h"

namespace ect {

LastTransactionStatusTransaction::LastTransactionStatusTransaction(Callback callback)
    : SaleLikeTransaction(makeRequest("LastTransaction", "LastTransaction"), std::move(callback))
{
}

LastTransactionResult LastTransactionStatusTransaction::makeResult(const std::string& reply)
{
    return LastTransactionResult(reply, terminalId());
}

} // namespace ect
