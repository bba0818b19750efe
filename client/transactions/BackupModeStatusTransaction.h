#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/BackupModeStatusResult.h"

namespace ect {

// Asks whether a terminal's backup mode is on; ends on the first reply.
class BackupModeStatusTransaction : public ServiceTransaction<BackupModeStatusTransaction, BackupModeStatusResult> {
public:
    explicit BackupModeStatusTransaction(Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
