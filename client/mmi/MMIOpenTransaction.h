#pragma once

#include "client/mmi/MMIRequestTransaction.h"

namespace ect {

// Takes the terminal's display and keyboard for the client.
class MMIOpenTransaction : public MMIRequestTransaction {
public:
    explicit MMIOpenTransaction(std::function<void(const MMITransactionResult&)> callback);

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
};

} // namespace ect
