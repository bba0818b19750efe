#include "client/transactions/CancelRetailTransaction.h"

namespace ect {

CancelRetailTransaction::CancelRetailTransaction(Callback callback)
    : ServiceTransaction(makeRequest("CancelRetail", "CancelRetail"), std::move(callback))
{
}

} // namespace ect
