#pragma once

#include <functional>
#include <string>

namespace ect {

class Transaction;

// A terminal as transactions and chained flows see it: its identifier and the
// function that starts a further transaction on it. A follow-up started here
// reaches the C interface and gets its one result even when the terminal
// object is gone meanwhile.
class TerminalContext {
public:
    using TransactionSpawner = std::function<void(Transaction&&)>;

    // Throws std::invalid_argument("transaction spawner is null") for an empty spawner.
    TerminalContext(const std::string& terminalId, TransactionSpawner transactionSpawner);

    std::string getTerminalId() const;
    // Starts the transaction on this terminal through the spawner, as
    // ZUVATerminal::send does; its callback hears of the outcome once. One
    // started from a result callback is a step of that result's transaction
    // and shares its hold on the terminal; started before the flow's step
    // calls the host back, it keeps the terminal past that callback.
    void makeTransaction(Transaction&& transaction);

private:
    std::string terminalId_;
    TransactionSpawner transactionSpawner_;
};

} // namespace ect
