#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// The formatted ticket text a terminal returned. Copies share one state.
class GetTicketResult {
public:
    GetTicketResult(const std::string& reply, const std::string& terminalIdentifier);

    // Empty unless the reply carries one.
    std::string ticket() const;
    // The terminal the transaction ran on.
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
