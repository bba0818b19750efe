#pragma once

#include "client/mmi/MMIRequestTransaction.h"

namespace ect {

// Gives the terminal's display back; nobody hears of the outcome.
class ResetScreen : public MMIRequestTransaction {
public:
    ResetScreen();

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
};

} // namespace ect
