#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <ctime>
#include <memory>
#include <string>

namespace ect {

// The card a terminal recognised. Copies share one state.
class RequestCardInfoResult {
public:
    RequestCardInfoResult(const std::string& reply, const std::string& terminalIdentifier);

    // The local time the reply was read; all zero for an error.
    std::tm timeStamp() const;
    // Every upper-case E of the reply's text becomes a lower-case x.
    std::string clippedPAN() const;
    std::string token() const;
    bool isContactless() const;
    bool isMagneticStripe() const;
    bool isIccEmv() const;
    bool isIccNonEmv() const;
    bool isBarCode() const;
    bool isManualEntry() const;
    bool isSynchronousChip() const;
    bool isAsynchronousChip() const;
    std::string cardBrandName() const;
    std::string cardBrandIdentifier() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
