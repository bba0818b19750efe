#pragma once

#include "client/transactions/SaleResultInfo.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

struct ParsedReply;

// The outcome of the last transaction a terminal processed. On success the
// terminal identifier is the one the reply states (empty when it states none).
// The status does not say which action it was (a refund reads as a sale),
// nor which sale: after a sale that ended without its reply, it is that
// sale's only when its timeStamp() differs from that of the terminal's
// approval before (<zuva/HostGuide.md>, "Time-outs"); then compare its amount
// and currency.
class LastTransactionResult : public SaleResultInfo {
public:
    LastTransactionResult(const std::string& reply, const std::string& terminalIdentifier);

    // The incident code the reply carried: that of a declined transaction
    // (error() is then 1/19), "0001" for a partial approval, else empty.
    std::string incidentCode() const;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier() const;
    std::string terminalIdentifier() const;
    boost::optional<ECTError> error() const;

private:
    LastTransactionResult(ParsedReply const& reply, const std::string& terminalIdentifier);

    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
