#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/CheckCardValidityResult.h"

namespace ect {

// Asks a terminal to check the card presented to it; ends on the first reply.
class CheckCardValidityTransaction : public ServiceTransaction<CheckCardValidityTransaction, CheckCardValidityResult> {
public:
    explicit CheckCardValidityTransaction(Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
