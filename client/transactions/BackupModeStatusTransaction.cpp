#include "client/transactions/BackupModeStatusTransaction.h"

namespace ect {

BackupModeStatusTransaction::BackupModeStatusTransaction(Callback callback)
    : ServiceTransaction(makeRequest("BackupModeStatus", "BackupModeStatus"), std::move(callback))
{
}

} // namespace ect
