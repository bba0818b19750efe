#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// Whether a terminal printed a ticket. Copies share one state.
class PrintTicketResult {
public:
    PrintTicketResult(const std::string& reply, const std::string& terminalIdentifier);

    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
