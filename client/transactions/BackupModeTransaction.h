#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/BackupModeResult.h"

namespace ect {

// Switches a terminal's backup mode on or off; ends on the first reply.
class BackupModeTransaction : public ServiceTransaction<BackupModeTransaction, BackupModeResult> {
public:
    BackupModeTransaction(bool enabled, Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
