#include "client/transactions/CancelRetailResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

CancelRetailResult::CancelRetailResult(const std::string& reply, const std::string& terminalIdentifier)
    : terminalIdentifier_(terminalIdentifier)
{
    ParsedReply parsed = parseReply("CancelRetail", reply);
    error_ = std::move(parsed.error);
    if (error_)
        return;
    timeStamp_ = parsed.result.isMember("date") ? parseDate(readText(parsed.result, "date")) : localTimeNow();
}

std::tm CancelRetailResult::timeStamp() const
{
    return timeStamp_;
}

std::string CancelRetailResult::terminalIdentifier() const
{
    return terminalIdentifier_;
}

boost::optional<ECTError> CancelRetailResult::error() const
{
    return error_;
}

} // namespace ect
