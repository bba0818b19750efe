#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <ctime>
#include <string>

namespace ect {

// Whether a terminal's backup mode is on. A plain value.
class BackupModeStatusResult {
public:
    BackupModeStatusResult(const std::string& reply, const std::string& terminalIdentifier);

    // The local time the answer was read; all zero for an error.
    std::tm timeStamp() const;
    // False for an error.
    bool enabled() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    std::tm timeStamp_{};
    boost::optional<ECTError> error_;
    bool enabled_ = false;
    std::string terminalIdentifier_;
};

} // namespace ect
