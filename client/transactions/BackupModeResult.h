#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <ctime>
#include <string>

namespace ect {

// Whether a terminal switched its backup mode. A plain value.
class BackupModeResult {
public:
    BackupModeResult(const std::string& reply, const std::string& terminalIdentifier);

    // The local time the answer was read; all zero for an error.
    std::tm timeStamp() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    std::tm timeStamp_{};
    std::string terminalIdentifier_;
    boost::optional<ECTError> error_;
};

} // namespace ect
