#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <ctime>
#include <memory>
#include <string>

namespace ect {

// The outcome of a card validity check. Copies share one state.
class CheckCardValidityResult {
public:
    CheckCardValidityResult(const std::string& reply, const std::string& terminalIdentifier);

    // The reply's "date", the terminal's local time with tm_isdst -1 (mktime
    // applies the zone's summer time for that day); all zero, tm_isdst too,
    // when it has none or for an error.
    std::tm timeStamp() const;
    std::string clippedPAN() const;
    std::string cardBrandName() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
