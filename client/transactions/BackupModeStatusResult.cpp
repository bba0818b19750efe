#include "client/transactions/BackupModeStatusResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

BackupModeStatusResult::BackupModeStatusResult(const std::string& reply, const std::string& terminalIdentifier)
    : terminalIdentifier_(terminalIdentifier)
{
    ParsedReply parsed = parseReply("BackupModeStatus", reply);
    error_ = std::move(parsed.error);
    if (!error_) {
        timeStamp_ = localTimeNow();
        // A number counts too: any but zero is on.
        enabled_ = readBool(parsed.result, "enabled") || readNumber(parsed.result, "enabled") != 0;
    }
}

std::tm BackupModeStatusResult::timeStamp() const
{
    return timeStamp_;
}

bool BackupModeStatusResult::enabled() const
{
    return enabled_;
}

std::string BackupModeStatusResult::terminalIdentifier() const
{
    return terminalIdentifier_;
}

boost::optional<ECTError> BackupModeStatusResult::error() const
{
    return error_;
}

} // namespace ect
