#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// What a terminal says about its services. Copies share one state, which
// never changes after construction.
class ServiceInformationResult {
public:
    // Reads the C interface's reply; an error, or a reply that cannot be
    // read (code 2 cause 16), leaves cashbackEnabled() false.
    ServiceInformationResult(const std::string& reply, const std::string& terminalIdentifier);

    bool cashbackEnabled() const;
    // The terminal the transaction ran on (not what the reply names).
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
