#include "client/transactions/CheckCardValidityTransaction.h"

namespace ect {

CheckCardValidityTransaction::CheckCardValidityTransaction(Callback callback)
    : ServiceTransaction(makeRequest("CheckCardValidity", "CheckCardValidity"), std::move(callback))
{
}

} // namespace ect
