#pragma once

#include "client/mmi/MMIRequestTransaction.h"
#include "common/MMIParameter.h"

namespace ect {

// One display operation: stored texts, free text and, with encrypted PIN
// data, a PIN entry that the terminal checks.
class MMITransaction : public MMIRequestTransaction {
public:
    MMITransaction(MMIParameter parameter, std::function<void(const MMITransactionResult&)> callback);

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
};

} // namespace ect
