#pragma once

#include "client/mmi/MMITransactionResult.h"
#include "client/mmi/VerifyPinResult.h"
#include "common/ECTError.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ect {

// What the PIN flows share: how a PIN entry ended, and how its outcome
// reaches the host, once, as a VerifyPinResult built from JSON text.
class PinEntry {
public:
    // Decided in this order: an incident decides before a cause code. A PIN
    // is accepted only on the OK key; any other key ends it as NoOkKey.
    enum class End { WrongPin, TimedOut, Reset, Failed, StopKey, Aborted, NoOkKey, Accepted };

    using Callback = std::function<void(const VerifyPinResult&)>;

    static End endOf(const MMITransactionResult& result);

    // The extra information of an error that reports the attempts left.
    static ECTError::ExtraInformation attemptsLeft(std::int64_t count);

    // An entry ended by a key other than OK, stop or abort: an invalid reply,
    // as one naming no key is.
    static ECTError noOkKey(std::int64_t attemptsLeft);

    // An empty callback is not called.
    static void reportAccepted(const Callback& callback, std::int64_t attemptsLeft, const std::string& terminalId);
    static void reportFailure(const Callback& callback, const ECTError& error, const std::string& terminalId);

private:
    // The flow's step ends first: the host may send on hearing of it.
    static void report(const Callback& callback, const std::string& text, const std::string& terminalId);
};

} // namespace ect
