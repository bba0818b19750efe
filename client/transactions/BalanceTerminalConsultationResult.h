#pragma once

#include "common/ECTError.h"
#include "common/ECTFinancialCounterInfo.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>
#include <vector>

namespace ect {

// The financial counters a terminal keeps for one acquirer. Copies share one state.
class BalanceTerminalConsultationResult {
public:
    BalanceTerminalConsultationResult(const std::string& reply, const std::string& terminalIdentifier);

    // The terminal as the reply names it.
    std::string terminalId() const;
    std::string acquirerId() const;
    std::string acquirerLabelName() const;
    // In reply order.
    std::vector<ECTFinancialCounterInfo> financialCounterInfo() const;
    // The terminal the transaction ran on.
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    struct Impl;
    std::shared_ptr<const Impl> impl_;
};

} // namespace ect
