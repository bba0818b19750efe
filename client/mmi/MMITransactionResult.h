#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// The outcome of one display or keyboard operation: which key ended it, or
// why it failed. Copies share one state that never changes. A reply that
// cannot be read, or whose key flags are not booleans or numbers, is an
// error (code 2, cause 16) with all three flags false, so that nobody takes
// a malformed reply for an accepted PIN.
class MMITransactionResult {
public:
    // name: the action that produced the reply; it does not change the outcome.
    MMITransactionResult(const std::string& name, const std::string& reply, const std::string& terminalId);

    bool okKeyPressed() const;
    bool stopKeyPressed() const;
    bool aborted() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
