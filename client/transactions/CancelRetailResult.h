#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <ctime>
#include <string>

namespace ect {

// When a terminal confirmed a retail cancellation. A plain value.
class CancelRetailResult {
public:
    CancelRetailResult(const std::string& reply, const std::string& terminalIdentifier);

    // The reply's "date", else the local time the reply was read; all zero for an error.
    std::tm timeStamp() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    std::tm timeStamp_{};
    boost::optional<ECTError> error_;
    std::string terminalIdentifier_;
};

} // namespace ect
