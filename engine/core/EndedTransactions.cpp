#include "engine/core/EndedTransactions.h"

namespace oxa {

void EndedTransactions::remember(ZUVATransaction const& transaction, bool reportable)
{
    entries_[transaction.body.sequenceNumber().value()] =
        Entry{&transaction, transaction.action(), transaction.response, reportable};
}

void EndedTransactions::answered(ZUVATransaction const& transaction)
{
    // Only while the number is still its own: a freed transaction's address may be reused.
    const auto found = entries_.find(transaction.body.sequenceNumber().value());
    if (found != entries_.end() && found->second.transaction == &transaction)
        found->second.reportable = false;
}

boost::optional<EndedTransactions::Entry> EndedTransactions::take(int sequenceNumber, QString const& messageTypeId,
                                                                   bool anyType)
{
    const auto found = entries_.find(sequenceNumber);
    if (found == entries_.end())
        return boost::none;
    Entry taken = found->second;
    taken.reportable = taken.reportable && (anyType || ZUVATransaction::isReplyOf(taken.response.get(), messageTypeId));
    if (taken.reportable) {
        found->second.reportable = false;
        found->second.lateReplyReported = true;
    }
    return taken;
}

} // namespace oxa
