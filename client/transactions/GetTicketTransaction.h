#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/GetTicketResult.h"

namespace ect {

// Asks a terminal for the formatted text of a ticket, described by the
// ticket data of a sale reply; ends on the first reply.
class GetTicketTransaction : public ServiceTransaction<GetTicketTransaction, GetTicketResult> {
public:
    explicit GetTicketTransaction(Callback callback);

    GetTicketTransaction& addDiscreteElements(const std::string& text);
    GetTicketTransaction& addLayoutIdentifier(const std::string& text);
    GetTicketTransaction& addLanguage(const std::string& text);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
