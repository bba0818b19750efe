#include "client/transactions/BalanceTerminalConsultationResult.h"

#include "client/TransactionHelpers.h"

namespace ect {

struct BalanceTerminalConsultationResult::Impl {
    std::string terminalId;
    std::string acquirerId;
    std::string acquirerLabelName;
    std::vector<ECTFinancialCounterInfo> counters;
    boost::optional<ECTError> error;
    std::string terminalIdentifier;
};

namespace {

std::vector<ECTFinancialCounterInfo> countersIn(const Json::Value& infos)
{
    std::vector<ECTFinancialCounterInfo> counters;
    if (!infos.isArray())
        return counters;
    for (const Json::Value& info : infos)
        counters.emplace_back(writeJson(info));
    return counters;
}

} // namespace

BalanceTerminalConsultationResult::BalanceTerminalConsultationResult(const std::string& reply,
                                                                     const std::string& terminalIdentifier)
{
    auto impl = std::make_shared<Impl>();
    ParsedReply parsed = parseReply("BalanceTerminalConsultation", reply);
    impl->terminalId = readText(parsed.result, "terminalIdentifier");
    impl->acquirerId = readText(parsed.result, "acquirerIdentifier");
    impl->acquirerLabelName = readText(parsed.result, "acquirerLabelName");
    impl->counters = countersIn(parsed.result["financialCounterInfos"]);
    impl->error = std::move(parsed.error);
    impl->terminalIdentifier = terminalIdentifier;
    impl_ = std::move(impl);
}

std::string BalanceTerminalConsultationResult::terminalId() const { return impl_->terminalId; }
std::string BalanceTerminalConsultationResult::acquirerId() const { return impl_->acquirerId; }
std::string BalanceTerminalConsultationResult::acquirerLabelName() const { return impl_->acquirerLabelName; }
std::vector<ECTFinancialCounterInfo> BalanceTerminalConsultationResult::financialCounterInfo() const
{
    return impl_->counters;
}
std::string BalanceTerminalConsultationResult::terminalIdentifier() const { return impl_->terminalIdentifier; }
boost::optional<ECTError> BalanceTerminalConsultationResult::error() const { return impl_->error; }

} // namespace ect
