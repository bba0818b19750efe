#include "client/transactions/GetTicketResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct GetTicketResult::Impl {
    boost::optional<ECTError> error;
    std::string ticket;
    std::string terminalIdentifier;
};

GetTicketResult::GetTicketResult(const std::string& reply, const std::string& terminalIdentifier)
{
    ParsedReply parsed = parseReply("TicketGet", reply);
    impl_ = std::make_shared<const Impl>(
        Impl{std::move(parsed.error), readText(parsed.result, "formattedTicket"), terminalIdentifier});
}

std::string GetTicketResult::ticket() const
{
    return impl_->ticket;
}

std::string GetTicketResult::terminalIdentifier() const
{
    return impl_->terminalIdentifier;
}

boost::optional<ECTError> GetTicketResult::error() const
{
    return impl_->error;
}

} // namespace ect
