#include "client/transactions/BackupModeTransaction.h"

namespace ect {

BackupModeTransaction::BackupModeTransaction(bool enabled, Callback callback)
    : ServiceTransaction(makeRequest("BackupMode", "BackupMode"), std::move(callback))
{
    transactionObject()["enabled"] = enabled;
}

} // namespace ect
