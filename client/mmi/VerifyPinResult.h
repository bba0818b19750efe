#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// The outcome of a PIN verification: accepted (no error) or the error, and
// the PIN attempts left. Copies share one state that never changes; nothing
// here throws, whatever the text holds.
class VerifyPinResult {
public:
    // name: the action that produced the text; it does not change the outcome.
    VerifyPinResult(const std::string& name, const std::string& reply, const std::string& terminalId);

    // From the error's "attemptsLeft" entry when the PIN was not accepted,
    // read as strtol reads it and held to the range of int.
    int attemptsLeft() const;
    boost::optional<ECTError> error() const;
    std::string terminalIdentifier() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
