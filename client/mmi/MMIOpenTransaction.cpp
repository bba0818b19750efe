#include "client/mmi/MMIOpenTransaction.h"

#include "client/mmi/MMIRequests.h"

namespace ect {

MMIOpenTransaction::MMIOpenTransaction(std::function<void(const MMITransactionResult&)> callback)
    : MMIRequestTransaction("MMIOpen", MMIRequests::open(), callingBack(std::move(callback)))
{
}

std::unique_ptr<Transaction> MMIOpenTransaction::move()
{
    return std::unique_ptr<Transaction>(new MMIOpenTransaction(releaseState()));
}

} // namespace ect
