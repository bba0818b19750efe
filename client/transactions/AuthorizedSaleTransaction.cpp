#include "client/transactions/AuthorizedSaleTransaction.h"

namespace ect {

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& authorizationCode,
                                                     const SaleReferences& references, Callback callback)
    : SaleLikeTransaction(saleRequest(toString(action), "AuthorizedSale", amount), std::move(callback))
{
    extra() = action;
    transactionObject()["authorizationCode"] = authorizationCode;
    addReferences(references);
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& authorizationCode, Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode, SaleReferences{}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& authorizationCode, Identifier identifier,
                                                     Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode, SaleReferences{boost::none, boost::none, identifier},
                                std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& merchantReference,
                                                     const ECTData& discretionaryData,
                                                     const std::string& authorizationCode, Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, discretionaryData, boost::none}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& merchantReference,
                                                     const std::string& authorizationCode, Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, boost::none, boost::none}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const ECTData& discretionaryData,
                                                     const std::string& authorizationCode, Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{boost::none, discretionaryData, boost::none}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     boost::optional<std::string> merchantReference,
                                                     boost::optional<ECTData> discretionaryData,
                                                     const std::string& authorizationCode, Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, discretionaryData, boost::none}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& merchantReference,
                                                     const ECTData& discretionaryData,
                                                     const std::string& authorizationCode, Identifier identifier,
                                                     Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, discretionaryData, identifier}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const std::string& merchantReference,
                                                     const std::string& authorizationCode, Identifier identifier,
                                                     Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, boost::none, identifier}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     const ECTData& discretionaryData,
                                                     const std::string& authorizationCode, Identifier identifier,
                                                     Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{boost::none, discretionaryData, identifier}, std::move(callback))
{
}

AuthorizedSaleTransaction::AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                                                     boost::optional<std::string> merchantReference,
                                                     boost::optional<ECTData> discretionaryData,
                                                     const std::string& authorizationCode, Identifier identifier,
                                                     Callback callback)
    : AuthorizedSaleTransaction(action, amount, authorizationCode,
                                SaleReferences{merchantReference, discretionaryData, identifier}, std::move(callback))
{
}

AuthorizedSaleResult AuthorizedSaleTransaction::makeResult(const std::string& reply)
{
    return AuthorizedSaleResult(extra(), reply, terminalId());
}

} // namespace ect
