#pragma once

#include "client/TransactionHelpers.h"
#include "client/transactions/RequestCardInfoResult.h"

#include <chrono>

namespace ect {

// Every value but SaleAfterCardRecognition reads as CardRecognitionOnly.
enum class CardInfoOption {
    SaleAfterCardRecognition = 0, // a sale follows: the card is not asked back
    CardRecognitionOnly = 1,
};

// Asks a terminal to recognise the card presented to it; ends on the first
// reply. The time-out, when given, replaces the configured one for this
// request; the engine refuses one out of its range (2/15).
class RequestCardInfoTransaction : public ServiceTransaction<RequestCardInfoTransaction, RequestCardInfoResult> {
public:
    RequestCardInfoTransaction(CardInfoOption option, Callback callback);
    RequestCardInfoTransaction(CardInfoOption option, std::chrono::seconds timeout, Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
