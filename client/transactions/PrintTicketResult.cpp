#include "client/transactions/PrintTicketResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct PrintTicketResult::Impl {
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

PrintTicketResult::PrintTicketResult(const std::string& reply, const std::string& terminalIdentifier)
    : impl_(std::make_shared<const Impl>(Impl{parseReply("PrintTicket", reply).error, terminalIdentifier}))
{
}

std::string PrintTicketResult::terminalIdentifier() const
{
    return impl_->terminalIdentifier;
}

boost::optional<ECTError> PrintTicketResult::error() const
{
    return impl_->error;
}

} // namespace ect
