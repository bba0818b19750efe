#include "client/mmi/MMICloseTransaction.h"

#include "client/mmi/MMIRequests.h"

namespace ect {

MMICloseTransaction::MMICloseTransaction(std::function<void(const MMITransactionResult&)> callback)
    : MMIRequestTransaction("MMIClose", MMIRequests::close(), callingBack(std::move(callback)))
{
}

std::unique_ptr<Transaction> MMICloseTransaction::move()
{
    return std::unique_ptr<Transaction>(new MMICloseTransaction(releaseState()));
}

} // namespace ect
