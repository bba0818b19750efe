#include "client/transactions/RequestCardInfoTransaction.h"

namespace ect {

RequestCardInfoTransaction::RequestCardInfoTransaction(CardInfoOption option, Callback callback)
    : ServiceTransaction(makeRequest("RequestCardInfo", "RequestCardInfo"), std::move(callback))
{
    transactionObject()["saleAfterCardRecognition"] = option == CardInfoOption::SaleAfterCardRecognition;
}

RequestCardInfoTransaction::RequestCardInfoTransaction(CardInfoOption option, std::chrono::seconds timeout,
                                                       Callback callback)
    : RequestCardInfoTransaction(option, std::move(callback))
{
    // Whole: a count the engine cannot take is refused there, never cut short here.
    transactionObject()["recognitionTimeout"] = static_cast<Json::Int64>(timeout.count());
}

} // namespace ect
