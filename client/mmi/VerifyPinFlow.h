#pragma once

#include "client/mmi/MMIRequestTransaction.h"
#include "client/mmi/VerifyPinResult.h"
#include "common/EncryptedData.h"
#include "common/FreeText.h"
#include "common/MMIParameter.h"

#include <boost/optional.hpp>

#include <memory>

namespace ect {

// A PIN entry with retries, each step started from the result of the one
// before: MMI open; prompts 26, 27 (middle attempts), 28 (last attempt),
// again after each wrong PIN while attempts remain; then the closing screen
// (19 accepted, 6 otherwise, shown for the displayResultTimeout setting),
// the follow-up message of that outcome if one was set, and the MMI close
// unless keepMMIOpen. The callback hears of the outcome once, when the
// closing screen has been started; an empty one is never called, and the
// closing steps run all the same. Setters belong before the flow is sent;
// after it they change nothing.
class VerifyPinFlow : public MMIRequestTransaction {
public:
    using Callback = std::function<void(const VerifyPinResult&)>;

    VerifyPinFlow(EncryptedData encryptedData, std::string language, int displayTimeout, int maxAttempts,
                  bool keepMMIOpen, Callback callback);
    VerifyPinFlow(EncryptedData encryptedData, std::string language, int displayTimeout, int maxAttempts,
                  FreeText freeText, bool keepMMIOpen, Callback callback);

    VerifyPinFlow& setFreeText(FreeText freeText);
    VerifyPinFlow& setSuccessNextMessageData(int displayTimeout, int textIdentifier,
                                             boost::optional<FreeText> freeText);
    VerifyPinFlow& setFailNextMessageData(int displayTimeout, int textIdentifier,
                                          boost::optional<FreeText> freeText);

    std::unique_ptr<Transaction> move() override;

private:
    struct Steps;

    using MMIRequestTransaction::MMIRequestTransaction;
    VerifyPinFlow(std::shared_ptr<Steps> steps, Callback callback);
    // The first prompt, or the host hears of the failed open.
    static void afterOpen(const MMITransactionResult& openResult, const Steps& steps, const Callback& callback,
                          const std::shared_ptr<TerminalContext>& terminal);
    std::shared_ptr<MMIParameter> nextMessage(int displayTimeout, int textIdentifier,
                                              boost::optional<FreeText> freeText) const;

    // Only the host's object holds them, for the setters; the steps share them.
    std::shared_ptr<Steps> steps_;
};

// One attempt, counted from 1; previous is the result of the step before.
void checkPin(const MMITransactionResult& previous, MMIParameter pinParameter,
              std::shared_ptr<MMIParameter> successNextMessage, std::shared_ptr<MMIParameter> failNextMessage,
              int maxAttempts, int attempt, bool keepMMIOpen, std::function<void(const VerifyPinResult&)> callback,
              std::shared_ptr<TerminalContext> terminalContext);

} // namespace ect
