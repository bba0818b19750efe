#include "client/mmi/VerifyPin.h"

#include "client/TerminalContext.h"
#include "client/mmi/MMIRequests.h"
#include "client/mmi/MMITransaction.h"
#include "client/mmi/PinEntry.h"
#include "client/mmi/ScreenParameter.h"

namespace ect {

namespace {

// Any other failure, with one attempt left: the terminal's codes survive;
// an error with a code alone counts as a reset by the cash register, except
// the engine's own time-out, which nobody reset.
ECTError failure(const ECTError& error)
{
    ECTError::ExtraInformation extra = error.extraInformationData();
    extra["attemptsLeft"] = "1";
    if (const auto incident = error.incidentCode())
        return ECTError(*incident, extra);
    if (const auto rejection = error.rejectionCode())
        return ECTError(*rejection, extra);
    if (const auto cause = error.causeCode())
        return ECTError(error.code(), *cause, extra);
    if (error.code() == ECTErrorCode::Timeout)
        return ECTError(ECTErrorCode::Timeout, extra);
    return ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::ResetByECR, extra);
}

void report(const MMITransactionResult& entry, const PinEntry::Callback& callback)
{
    const std::string terminalId = entry.terminalIdentifier();
    const auto fail = [&](const ECTError& error) { PinEntry::reportFailure(callback, error, terminalId); };
    switch (PinEntry::endOf(entry)) {
    case PinEntry::End::WrongPin:
        return fail(ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::MMIService_InvalidPinCode,
                             *entry.error()->incidentCode(), PinEntry::attemptsLeft(0)));
    case PinEntry::End::TimedOut:
        return fail(ECTError(ECTErrorCode::Timeout, PinEntry::attemptsLeft(1)));
    case PinEntry::End::Reset:
    case PinEntry::End::Aborted:
        return fail(ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::ResetByECR, PinEntry::attemptsLeft(1)));
    case PinEntry::End::Failed:
        return fail(failure(*entry.error()));
    case PinEntry::End::StopKey:
        return fail(ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::MMIService_StopKeyPressed,
                             PinEntry::attemptsLeft(1)));
    case PinEntry::End::NoOkKey:
        return fail(PinEntry::noOkKey(1));
    case PinEntry::End::Accepted:
        return PinEntry::reportAccepted(callback, 1, terminalId);
    }
}

} // namespace

VerifyPin::VerifyPin(EncryptedData encryptedData, int textIdentifier, std::string language, int displayTimeout,
                     Callback callback)
    : VerifyPin(ScreenParameter::makePinEntry(textIdentifier, language, displayTimeout, std::move(encryptedData),
                                              boost::none),
                std::move(callback))
{
}

VerifyPin::VerifyPin(EncryptedData encryptedData, int textIdentifier, std::string language, int displayTimeout,
                     FreeText freeText, Callback callback)
    : VerifyPin(ScreenParameter::makePinEntry(textIdentifier, language, displayTimeout, std::move(encryptedData),
                                              std::move(freeText)),
                std::move(callback))
{
}

VerifyPin::VerifyPin(MMIParameter parameter, Callback callback)
    : MMIRequestTransaction("MMIOpen", MMIRequests::open(),
                            [parameter = std::move(parameter), callback = std::move(callback)](
                                const MMITransactionResult& openResult,
                                const std::shared_ptr<TerminalContext>& terminal) {
                                verifyThePin(openResult, parameter, callback, terminal);
                            })
{
}

std::unique_ptr<Transaction> VerifyPin::move()
{
    return std::unique_ptr<Transaction>(new VerifyPin(releaseState()));
}

void verifyThePin(const MMITransactionResult& openResult, MMIParameter parameter,
                  std::function<void(const VerifyPinResult&)> callback, std::shared_ptr<TerminalContext> terminal)
{
    if (const boost::optional<ECTError> error = openResult.error()) {
        PinEntry::reportFailure(callback, *error, openResult.terminalIdentifier());
        return;
    }
    auto reportEntry = [callback = std::move(callback)](const MMITransactionResult& entry) { report(entry, callback); };
    terminal->makeTransaction(MMITransaction(std::move(parameter), std::move(reportEntry)));
}

} // namespace ect
