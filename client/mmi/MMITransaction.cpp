#include "client/mmi/MMITransaction.h"

#include "client/mmi/MMIRequests.h"

namespace ect {

MMITransaction::MMITransaction(MMIParameter parameter, std::function<void(const MMITransactionResult&)> callback)
    : MMIRequestTransaction("MMITransaction", MMIRequests::operation(parameter), callingBack(std::move(callback)))
{
}

std::unique_ptr<Transaction> MMITransaction::move()
{
    return std::unique_ptr<Transaction>(new MMITransaction(releaseState()));
}

} // namespace ect
