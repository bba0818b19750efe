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

// The result of a sale or cash advance after voice referral or reservation,
// or of a cancellation.
class AuthorizedSaleResult : public SaleResultInfo {
public:
    AuthorizedSaleResult(AuthorizedSaleAction action, const std::string& reply,
                         const std::string& terminalIdentifier);

    AuthorizedSaleAction action() const;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    AuthorizedSaleResult(AuthorizedSaleAction action, ParsedReply const& reply,
                         const std::string& terminalIdentifier);

    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
