#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/PrintTicketResult.h"

namespace ect {

// Has a terminal print a ticket text the host formatted; ends on the first
// reply. The engine refuses a text of more than 4096 characters (1/117).
class PrintTicketTransaction : public ServiceTransaction<PrintTicketTransaction, PrintTicketResult> {
public:
    PrintTicketTransaction(const std::string& formattedTicketText, Callback callback);

private:
    friend ServiceTransaction;
    // Not inherited: a text argument would also fit the request constructor.
    explicit PrintTicketTransaction(MovedState moved)
        : ServiceTransaction(std::move(moved))
    {
    }
};

} // namespace ect
