#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/CancelRetailResult.h"

namespace ect {

// Asks a terminal for a retail cancellation; ends on the first reply.
class CancelRetailTransaction : public ServiceTransaction<CancelRetailTransaction, CancelRetailResult> {
public:
    explicit CancelRetailTransaction(Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
