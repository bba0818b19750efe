#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/BalanceTerminalConsultationResult.h"

namespace ect {

// Reads the financial counters a terminal keeps for one acquirer; ends on the first reply.
class BalanceTerminalConsultationTransaction : public ServiceTransaction<BalanceTerminalConsultationTransaction, BalanceTerminalConsultationResult> {
public:
    BalanceTerminalConsultationTransaction(const std::string& acquirerId, Callback callback);

private:
    friend ServiceTransaction;
    // Not inherited: a text argument would also fit the request constructor.
    explicit BalanceTerminalConsultationTransaction(MovedState moved)
        : ServiceTransaction(std::move(moved))
    {
    }
};

} // namespace ect
