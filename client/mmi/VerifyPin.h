#pragma once

#include "client/mmi/MMIRequestTransaction.h"
#include "client/mmi/VerifyPinResult.h"
#include "common/EncryptedData.h"
#include "common/FreeText.h"
#include "common/MMIParameter.h"

namespace ect {

// One PIN entry, checked by the terminal against the encrypted PIN data:
// opens the MMI, prompts once and hands the outcome to the callback once
// (attempts left 0 after a wrong PIN or a failed MMI open, 1 otherwise).
// Sends no MMI close.
// An empty callback is never called.
class VerifyPin : public MMIRequestTransaction {
public:
    using Callback = std::function<void(const VerifyPinResult&)>;

    VerifyPin(EncryptedData encryptedData, int textIdentifier, std::string language, int displayTimeout,
              Callback callback);
    VerifyPin(EncryptedData encryptedData, int textIdentifier, std::string language, int displayTimeout,
              FreeText freeText, Callback callback);

    std::unique_ptr<Transaction> move() override;

private:
    using MMIRequestTransaction::MMIRequestTransaction;
    VerifyPin(MMIParameter parameter, Callback callback);
};

// The second step: the PIN entry, unless the open failed.
void verifyThePin(const MMITransactionResult& openResult, MMIParameter parameter,
                  std::function<void(const VerifyPinResult&)> callback, std::shared_ptr<TerminalContext> terminal);

} // namespace ect
