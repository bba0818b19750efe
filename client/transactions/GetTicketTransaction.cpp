#include "client/transactions/GetTicketTransaction.h"

namespace ect {

GetTicketTransaction::GetTicketTransaction(Callback callback)
    : ServiceTransaction(makeRequest("TicketGet", "TicketGet"), std::move(callback))
{
}

GetTicketTransaction& GetTicketTransaction::addDiscreteElements(const std::string& text)
{
    transactionObject()["discreteElements"] = text;
    return *this;
}

GetTicketTransaction& GetTicketTransaction::addLayoutIdentifier(const std::string& text)
{
    transactionObject()["layoutIdentifier"] = text;
    return *this;
}

GetTicketTransaction& GetTicketTransaction::addLanguage(const std::string& text)
{
    transactionObject()["language"] = text;
    return *this;
}

} // namespace ect
