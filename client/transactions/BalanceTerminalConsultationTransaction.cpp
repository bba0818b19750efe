#include "client/transactions/BalanceTerminalConsultationTransaction.h"

namespace ect {

BalanceTerminalConsultationTransaction::BalanceTerminalConsultationTransaction(const std::string& acquirerId,
                                                                               Callback callback)
    : ServiceTransaction(makeRequest("BalanceTerminalConsultation", "BalanceTerminalConsultation"),
                         std::move(callback))
{
    transactionObject()["acquirerId"] = acquirerId;
}

} // namespace ect
