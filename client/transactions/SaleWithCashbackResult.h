#pragma once

#include "client/transactions/SaleResultInfo.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

struct ParsedReply;

// The result of a sale with cash-back. The identifier comes from the
// result only; a failed sale's error carries it in its extra information.
// authorizedAmount() is the total approved, cash-back included.
class SaleWithCashbackResult : public SaleResultInfo {
public:
    SaleWithCashbackResult(const std::string& reply, const std::string& terminalIdentifier);

    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    SaleWithCashbackResult(ParsedReply const& reply, const std::string& terminalIdentifier);

    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
