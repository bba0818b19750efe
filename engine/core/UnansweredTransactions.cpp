#include "engine/core/UnansweredTransactions.h"

#include <algorithm>

namespace oxa {

void UnansweredTransactions::remember(ZUVATransaction const& transaction)
{
    if (entries_.size() == kKept)
        entries_.pop_front();
    entries_.push_back(
        Entry{&transaction, transaction.action(), transaction.response, transaction.body.sequenceNumber().value()});
}

void UnansweredTransactions::forget(ZUVATransaction const& transaction)
{
    // The newest only: an older entry may be of a freed transaction at the same address.
    const auto found = std::find_if(entries_.rbegin(), entries_.rend(),
                                    [&](Entry const& entry) { return entry.transaction == &transaction; });
    if (found != entries_.rend())
        entries_.erase(std::next(found).base());
}

boost::optional<UnansweredTransactions::Entry> UnansweredTransactions::take(QString const& messageTypeId,
                                                                            int sequenceNumber)
{
    auto chosen = entries_.rend();
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
        if (!ZUVATransaction::isReplyOf(entry->response.get(), messageTypeId))
            continue;
        if (entry->sequenceNumber == sequenceNumber) {
            chosen = entry;
            break;
        }
        if (chosen == entries_.rend())
            chosen = entry;
    }
    return takeAt(chosen);
}

boost::optional<UnansweredTransactions::Entry> UnansweredTransactions::take(int sequenceNumber)
{
    return takeAt(std::find_if(entries_.rbegin(), entries_.rend(),
                               [&](Entry const& entry) { return entry.sequenceNumber == sequenceNumber; }));
}

boost::optional<UnansweredTransactions::Entry> UnansweredTransactions::takeAt(Newest chosen)
{
    if (chosen == entries_.rend())
        return boost::none;
    const Entry taken = *chosen;
    entries_.erase(std::next(chosen).base());
    return taken;
}

} // namespace oxa
