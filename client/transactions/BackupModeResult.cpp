#include "client/transactions/BackupModeResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

BackupModeResult::BackupModeResult(const std::string& reply, const std::string& terminalIdentifier)
    : terminalIdentifier_(terminalIdentifier)
    , error_(parseReply("BackupMode", reply).error)
{
    if (!error_)
        timeStamp_ = localTimeNow();
}

std::tm BackupModeResult::timeStamp() const
{
    return timeStamp_;
}

std::string BackupModeResult::terminalIdentifier() const
{
    return terminalIdentifier_;
}

boost::optional<ECTError> BackupModeResult::error() const
{
    return error_;
}

} // namespace ect
