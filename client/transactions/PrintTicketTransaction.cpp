#include "client/transactions/PrintTicketTransaction.h"

namespace ect {

PrintTicketTransaction::PrintTicketTransaction(const std::string& formattedTicketText, Callback callback)
    : ServiceTransaction(makeRequest("PrintTicket", "PrintTicket"), std::move(callback))
{
    transactionObject()["formattedTicketText"] = formattedTicketText;
}

} // namespace ect
