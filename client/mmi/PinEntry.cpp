#include "client/mmi/PinEntry.h"

#include "client/ZUVATransactionContext.h"
#include "common/ResultsToJson.h"

namespace ect {

namespace {

const char* const WrongPinIncident = "2630";
const char* const PinTimeoutIncident = "1803";

bool hasIncident(const ECTError& error, const char* incident)
{
    const boost::optional<ECTIncidentCode> code = error.incidentCode();
    return code && code->code() == incident;
}

} // namespace

PinEntry::End PinEntry::endOf(const MMITransactionResult& result)
{
    if (const boost::optional<ECTError> error = result.error()) {
        if (hasIncident(*error, WrongPinIncident))
            return End::WrongPin;
        if (hasIncident(*error, PinTimeoutIncident))
            return End::TimedOut;
        if (error->causeCode() == ECTErrorCauseCode::ResetTransaction)
            return End::Reset;
        return End::Failed;
    }
    if (result.stopKeyPressed())
        return End::StopKey;
    if (result.aborted())
        return End::Aborted;
    if (!result.okKeyPressed())
        return End::NoOkKey;
    return End::Accepted;
}

ECTError::ExtraInformation PinEntry::attemptsLeft(std::int64_t count)
{
    return {{"attemptsLeft", std::to_string(count)}};
}

ECTError PinEntry::noOkKey(std::int64_t attemptsLeft)
{
    return ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidResponse, PinEntry::attemptsLeft(attemptsLeft));
}

void PinEntry::reportAccepted(const Callback& callback, std::int64_t attemptsLeft, const std::string& terminalId)
{
    report(callback, "{ \"result\": { \"attemptsLeft\": " + std::to_string(attemptsLeft) + " } }", terminalId);
}

void PinEntry::reportFailure(const Callback& callback, const ECTError& error, const std::string& terminalId)
{
    report(callback, oxa::jsonFromError(error), terminalId);
}

void PinEntry::report(const Callback& callback, const std::string& text, const std::string& terminalId)
{
    TransactionContext::endHandledStep();
    if (callback)
        callback(VerifyPinResult("MMITransaction", text, terminalId));
}

} // namespace ect
