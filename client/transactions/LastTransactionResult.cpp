#include "client/transactions/LastTransactionResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct LastTransactionResult::Impl {
    boost::optional<ECTError> error;
    std::string incidentCode;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier;
    std::string terminalIdentifier;
};

namespace {

const char* const PartialApprovalIncident = "0001";

// A declined transaction's code comes with the error; of an approval the
// result keeps only the partial approval's.
std::string incidentCodeOf(ParsedReply const& reply)
{
    if (reply.error) {
        const boost::optional<ECTIncidentCode> code = reply.error->incidentCode();
        return code ? code->code() : std::string();
    }
    return readBool(reply.result, "partialApproval") ? PartialApprovalIncident : "";
}

} // namespace

LastTransactionResult::LastTransactionResult(const std::string& reply, const std::string& terminalIdentifier)
    : LastTransactionResult(parseReply("LastTransaction", reply), terminalIdentifier)
{
}

LastTransactionResult::LastTransactionResult(ParsedReply const& reply, const std::string& terminalIdentifier)
    : SaleResultInfo(reply.result)
    , impl_(std::make_shared<Impl>(Impl{reply.error, incidentCodeOf(reply),
                                       readActionIdentifier(reply.result, "saleSystemActionIdentifier"),
                                       reply.error ? terminalIdentifier
                                                   : readText(reply.result, "terminalIdentifier")}))
{
}

std::string LastTransactionResult::incidentCode() const { return impl_->incidentCode; }
boost::optional<ECTSaleSystemActionIdentifier> LastTransactionResult::saleSystemActionIdentifier() const
{
    return impl_->saleSystemActionIdentifier;
}
std::string LastTransactionResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> LastTransactionResult::error() const { return impl_->error; }

} // namespace ect
