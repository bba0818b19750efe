#include "client/mmi/VerifyPinFlow.h"

#include "client/JsonObjectFactory.h"
#include "client/TerminalContext.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/MMIRequests.h"
#include "client/mmi/PinEntry.h"
#include "client/mmi/ScreenParameter.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace ect {

namespace {

constexpr int ScreenIdentifier_FirstTry = 26;
constexpr int ScreenIdentifier_SecondTry = 27;
constexpr int ScreenIdentifier_LastTry = 28;
constexpr int ScreenIdentifier_Accepted = 19;
constexpr int ScreenIdentifier_Cancelled = 6;

// A display step of the flow: its result goes to the flow, which starts its
// next step while this one still holds the terminal.
class FlowStep : public MMIRequestTransaction {
public:
    FlowStep(const MMIParameter& parameter, std::function<void(const MMITransactionResult&)> next)
        : MMIRequestTransaction("MMITransaction", MMIRequests::operation(parameter),
                                [next = std::move(next)](const MMITransactionResult& result,
                                                         const std::shared_ptr<TerminalContext>&) { next(result); })
    {
    }

    std::unique_ptr<Transaction> move() override { return std::unique_ptr<Transaction>(new FlowStep(releaseState())); }

private:
    explicit FlowStep(MovedState moved) : MMIRequestTransaction(std::move(moved)) {}
};

// What the steps after the PIN entries need.
struct Ending {
    std::shared_ptr<MMIParameter> successNextMessage;
    std::shared_ptr<MMIParameter> failNextMessage;
    bool keepMMIOpen;
    std::shared_ptr<TerminalContext> terminal;
};

int promptScreen(int maxAttempts, int attempt)
{
    if (attempt == maxAttempts)
        return ScreenIdentifier_LastTry;
    if (maxAttempts > 2 && attempt != 1)
        return ScreenIdentifier_SecondTry;
    return ScreenIdentifier_FirstTry;
}

int displayResultTimeout()
{
    const std::int64_t seconds = getServiceSettings().displayResultTimeout;
    return static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(seconds, INT_MIN), INT_MAX));
}

void closeMMIUnlessKept(const Ending& ending)
{
    if (!ending.keepMMIOpen)
        ending.terminal->makeTransaction(MMICloseTransaction(nullptr));
}

// The closing screen, then the follow-up message of the outcome if there is
// one, then the MMI close. Their results change nothing: the host hears of
// the outcome once, whatever becomes of them.
void showClosingSteps(bool accepted, MMIParameter parameter, const Ending& ending)
{
    const std::shared_ptr<MMIParameter> followUp = accepted ? ending.successNextMessage : ending.failNextMessage;
    parameter.displayTimeout = displayResultTimeout();
    parameter.firstTextIdentifier = accepted ? ScreenIdentifier_Accepted : ScreenIdentifier_Cancelled;
    parameter.encryptedPin = boost::none;
    parameter.freeText = boost::none;
    parameter.secondTextIdentifier = boost::none;
    parameter.secondTextLanguage = boost::none;
    if (!followUp) {
        parameter.secondTextIdentifier = ScreenParameter::SecondTextIdentifier;
        parameter.secondTextLanguage = parameter.firstTextLanguage;
    }
    ending.terminal->makeTransaction(FlowStep(parameter, [followUp, ending](const MMITransactionResult&) {
        if (!followUp)
            return closeMMIUnlessKept(ending);
        ending.terminal->makeTransaction(
            FlowStep(*followUp, [ending](const MMITransactionResult&) { closeMMIUnlessKept(ending); }));
    }));
}

// attemptsLeft: the attempts left when this entry does not count as a wrong PIN.
ECTError failure(const MMITransactionResult& entry, PinEntry::End end, std::int64_t attemptsLeft)
{
    switch (end) {
    case PinEntry::End::WrongPin:
        return ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::MMIService_InvalidPinCode,
                        *entry.error()->incidentCode(), PinEntry::attemptsLeft(attemptsLeft - 1));
    case PinEntry::End::TimedOut:
        return ECTError(ECTErrorCode::Timeout, *entry.error()->incidentCode(), PinEntry::attemptsLeft(attemptsLeft));
    case PinEntry::End::StopKey:
        return ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::MMIService_StopKeyPressed,
                        PinEntry::attemptsLeft(attemptsLeft));
    case PinEntry::End::NoOkKey:
        return PinEntry::noOkKey(attemptsLeft);
    case PinEntry::End::Failed: {
        ECTError amended = *entry.error();
        amended.addExtraInfo("attemptsLeft", std::to_string(attemptsLeft));
        return amended;
    }
    default: // a reset or an abort
        return ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::ResetByECR, PinEntry::attemptsLeft(attemptsLeft));
    }
}

void onPinEntry(const MMITransactionResult& entry, const MMIParameter& pinParameter, int maxAttempts, int attempt,
                const Ending& ending, const PinEntry::Callback& callback)
{
    const PinEntry::End end = PinEntry::endOf(entry);
    if (end == PinEntry::End::WrongPin && attempt < maxAttempts)
        return checkPin(entry, pinParameter, ending.successNextMessage, ending.failNextMessage, maxAttempts,
                        attempt + 1, ending.keepMMIOpen, callback, ending.terminal);
    const bool accepted = end == PinEntry::End::Accepted;
    // Started before the host hears, so that the screen does not wait on the host.
    showClosingSteps(accepted, pinParameter, ending);
    // In 64 bits: no maxAttempts overflows it.
    const std::int64_t attemptsLeft = static_cast<std::int64_t>(maxAttempts) - attempt + 1;
    const std::string terminalId = entry.terminalIdentifier();
    if (accepted)
        PinEntry::reportAccepted(callback, attemptsLeft, terminalId);
    else
        PinEntry::reportFailure(callback, failure(entry, end, attemptsLeft), terminalId);
}

} // namespace

struct VerifyPinFlow::Steps {
    MMIParameter pinParameter;
    std::shared_ptr<MMIParameter> successNextMessage;
    std::shared_ptr<MMIParameter> failNextMessage;
    int maxAttempts;
    bool keepMMIOpen;
};

VerifyPinFlow::VerifyPinFlow(EncryptedData encryptedData, std::string language, int displayTimeout,
                             int maxAttempts, bool keepMMIOpen, Callback callback)
    : VerifyPinFlow(std::make_shared<Steps>(Steps{ScreenParameter::makePinEntry(boost::none, language, displayTimeout,
                                                                                std::move(encryptedData), boost::none),
                                                  nullptr, nullptr, maxAttempts, keepMMIOpen}),
                    std::move(callback))
{
}

VerifyPinFlow::VerifyPinFlow(EncryptedData encryptedData, std::string language, int displayTimeout,
                             int maxAttempts, FreeText freeText, bool keepMMIOpen, Callback callback)
    : VerifyPinFlow(std::move(encryptedData), std::move(language), displayTimeout, maxAttempts, keepMMIOpen,
                    std::move(callback))
{
    setFreeText(std::move(freeText));
}

VerifyPinFlow::VerifyPinFlow(std::shared_ptr<Steps> steps, Callback callback)
    : MMIRequestTransaction("MMIOpen", MMIRequests::open(),
                            [steps, callback = std::move(callback)](const MMITransactionResult& openResult,
                                                                    const std::shared_ptr<TerminalContext>& terminal) {
                                afterOpen(openResult, *steps, callback, terminal);
                            })
    , steps_(std::move(steps))
{
}

VerifyPinFlow& VerifyPinFlow::setFreeText(FreeText freeText)
{
    if (steps_)
        steps_->pinParameter.freeText = std::move(freeText);
    return *this;
}

VerifyPinFlow& VerifyPinFlow::setSuccessNextMessageData(int displayTimeout, int textIdentifier,
                                                        boost::optional<FreeText> freeText)
{
    if (steps_)
        steps_->successNextMessage = nextMessage(displayTimeout, textIdentifier, std::move(freeText));
    return *this;
}

VerifyPinFlow& VerifyPinFlow::setFailNextMessageData(int displayTimeout, int textIdentifier,
                                                     boost::optional<FreeText> freeText)
{
    if (steps_)
        steps_->failNextMessage = nextMessage(displayTimeout, textIdentifier, std::move(freeText));
    return *this;
}

std::shared_ptr<MMIParameter> VerifyPinFlow::nextMessage(int displayTimeout, int textIdentifier,
                                                         boost::optional<FreeText> freeText) const
{
    return std::make_shared<MMIParameter>(ScreenParameter::make(
        textIdentifier, steps_->pinParameter.firstTextLanguage.value_or(std::string()), displayTimeout,
        std::move(freeText)));
}

std::unique_ptr<Transaction> VerifyPinFlow::move()
{
    steps_.reset();
    return std::unique_ptr<Transaction>(new VerifyPinFlow(releaseState()));
}

void VerifyPinFlow::afterOpen(const MMITransactionResult& openResult, const Steps& steps, const Callback& callback,
                              const std::shared_ptr<TerminalContext>& terminal)
{
    if (boost::optional<ECTError> error = openResult.error()) {
        error->addExtraInfo("attemptsLeft", std::to_string(steps.maxAttempts));
        return PinEntry::reportFailure(callback, *error, openResult.terminalIdentifier());
    }
    checkPin(openResult, steps.pinParameter, steps.successNextMessage, steps.failNextMessage, steps.maxAttempts, 1,
             steps.keepMMIOpen, callback, terminal);
}

void checkPin(const MMITransactionResult&, MMIParameter pinParameter, std::shared_ptr<MMIParameter> successNextMessage,
              std::shared_ptr<MMIParameter> failNextMessage, int maxAttempts, int attempt, bool keepMMIOpen,
              std::function<void(const VerifyPinResult&)> callback, std::shared_ptr<TerminalContext> terminalContext)
{
    MMIParameter prompt = pinParameter;
    prompt.firstTextIdentifier = promptScreen(maxAttempts, attempt);
    const Ending ending{std::move(successNextMessage), std::move(failNextMessage), keepMMIOpen, terminalContext};
    terminalContext->makeTransaction(FlowStep(
        prompt,
        [pinParameter = std::move(pinParameter), maxAttempts, attempt, ending, callback = std::move(callback)](
            const MMITransactionResult& entry) {
            onPinEntry(entry, pinParameter, maxAttempts, attempt, ending, callback);
        }));
}

} // namespace ect
