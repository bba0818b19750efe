#pragma once

#include "client/mmi/MMIRequestTransaction.h"

namespace ect {

// Gives the terminal's display and keyboard back.
class MMICloseTransaction : public MMIRequestTransaction {
public:
    explicit MMICloseTransaction(std::function<void(const MMITransactionResult&)> callback);

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
};

} // namespace ect
