#pragma once

#include "client/mmi/MMIRequestTransaction.h"
#include "common/FreeText.h"
#include "common/MMIParameter.h"

namespace ect {

// Shows one of the terminal's stored texts (second text 14, in the same
// language), with optional free text: opens the MMI, then runs the display
// operation and hands its result, or the failed open's, to the callback
// once. Sends no MMI close. An empty callback is never called. displayTimeout
// is in seconds (see MMIParameter), language a code such as "en".
// textIdentifier names a text stored in the terminal, 0 to 99; another number
// fails the display operation with code 2 cause 15 (see <zuva/HostGuide.md>).
class ShowMessage : public MMIRequestTransaction {
public:
    using Callback = std::function<void(const MMITransactionResult&)>;

    ShowMessage(int textIdentifier, std::string language, int displayTimeout, Callback callback);
    ShowMessage(int textIdentifier, std::string language, int displayTimeout, FreeText freeText, Callback callback);

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
    ShowMessage(MMIParameter parameter, Callback callback);
};

// The second step: the display operation, unless the open failed.
void showTheMessage(const MMITransactionResult& openResult, MMIParameter parameter,
                    std::function<void(const MMITransactionResult&)> callback,
                    std::shared_ptr<TerminalContext> terminal);

} // namespace ect
