#pragma once

#include "client/transactions/SaleAction.h"
#include "client/transactions/SaleResultInfo.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

struct ParsedReply;

// The result of a sale, a sale with delivery confirmation or a smart-pay
// sale. A failed sale still reports the identifier that the terminal gave
// with its error.
class SaleResult : public SaleResultInfo {
public:
    SaleResult(SaleAction action, const std::string& reply, const std::string& terminalIdentifier);

    SaleAction action() const;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier() const;
    std::string terminalIdentifier() const;
    // Empty when the sale succeeded.
    boost::optional<ECTError> error() const;

private:
    SaleResult(SaleAction action, ParsedReply const& reply, const std::string& terminalIdentifier);

    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
