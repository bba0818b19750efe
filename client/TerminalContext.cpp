#include "client/TerminalContext.h"

#include "client/Transaction.h"

#include <stdexcept>

namespace ect {

TerminalContext::TerminalContext(const std::string& terminalId, TransactionSpawner transactionSpawner)
    : terminalId_(terminalId), transactionSpawner_(std::move(transactionSpawner))
{
    if (!transactionSpawner_)
        throw std::invalid_argument("transaction spawner is null");
}

std::string TerminalContext::getTerminalId() const
{
    return terminalId_;
}

void TerminalContext::makeTransaction(Transaction&& transaction)
{
    transactionSpawner_(std::move(transaction));
}

} // namespace ect
