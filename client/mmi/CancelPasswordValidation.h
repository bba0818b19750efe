#pragma once

#include "client/Transaction.h"

namespace ect {

// Gives up the transaction in flight on the terminal, typically a PIN entry:
// the library resets it, and its own callback hears of the reset: code 2,
// cause 30, which VerifyPin and VerifyPinFlow report for their PIN entry as
// code 1, cause 31. Nothing is sent to the terminal and no result comes back here.
class CancelPasswordValidation : public Transaction {
public:
    std::unique_ptr<Transaction> move() override;
    std::string beginTransaction(TransactionContext& context) override;
    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override;
};

} // namespace ect
