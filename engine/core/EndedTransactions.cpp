#include "engine/core/EndedTransactions.h"

namespace oxa {

namespace {

bool inRange(int sequenceNumber)
{
    return sequenceNumber >= 0 && sequenceNumber <= ECTMessageSequenceNumber::kMaximum;
}

} // namespace

QString EndedTransactions::Entry::action() const
{
    return ZUVATransaction::actionOf(json);
}

void EndedTransactions::remember(ZUVATransaction const& transaction, bool answered, bool reportable)
{
    const int sequenceNumber = transaction.body.sequenceNumber().value();
    if (inRange(sequenceNumber))
        entries_[size_t(sequenceNumber)] = Entry{&transaction, transaction.json, transaction.response, answered,
                                                 answered ? transaction.replyType() : QString(), reportable};
}

void EndedTransactions::answered(ZUVATransaction const& transaction)
{
    // Only while the number is still its own: a freed transaction's address may be reused.
    const int sequenceNumber = transaction.body.sequenceNumber().value();
    if (!inRange(sequenceNumber))
        return;
    boost::optional<Entry>& found = entries_[size_t(sequenceNumber)];
    if (found && found->transaction == &transaction) {
        found->answered = true;
        found->replyType = transaction.replyType();
        found->reportable = false;
    }
}

boost::optional<EndedTransactions::Entry> EndedTransactions::take(int sequenceNumber, QString const& messageTypeId,
                                                                   bool anyType)
{
    if (!inRange(sequenceNumber) || !entries_[size_t(sequenceNumber)])
        return boost::none;
    Entry& kept = *entries_[size_t(sequenceNumber)];
    const bool asTaken = kept.answered && messageTypeId == kept.replyType;
    if (kept.answered && anyType && !asTaken)
        return boost::none;
    Entry taken = kept;
    const bool ofItsType = ZUVATransaction::isReplyOf(kept.response.get(), messageTypeId);
    taken.repeat = asTaken || (ofItsType && (kept.answered || kept.lateReplyReported));
    taken.reportable = kept.reportable && (anyType || ofItsType);
    if (taken.reportable) {
        kept.reportable = false;
        kept.lateReplyReported = true;
    }
    return taken;
}

} // namespace oxa
