#pragma once

#include "client/transactions/SaleAction.h"
#include "client/transactions/AuthorizedSaleResult.h"
#include "client/transactions/SaleLikeTransaction.h"

namespace ect {

// A sale-family operation that refers to an earlier authorisation: a sale or
// cash advance after voice referral, a sale after reservation, or a
// cancellation. Its result reaches the host with the client ticket. The
// authorization code has exactly six characters (for a cancellation, the
// code of the sale it cancels); any other length fails with code 1 cause
// 115. A merchant reference is passed as a std::string: a string literal
// also converts to ECTData, which makes the call ambiguous.
class AuthorizedSaleTransaction
    : public SaleLikeTransaction<AuthorizedSaleTransaction, AuthorizedSaleResult, AuthorizedSaleAction> {
    using Identifier = boost::optional<ECTSaleSystemActionIdentifier>;

public:
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& authorizationCode,
                              Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& authorizationCode,
                              Identifier identifier, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& merchantReference,
                              const ECTData& discretionaryData, const std::string& authorizationCode,
                              Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& merchantReference,
                              const std::string& authorizationCode, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const ECTData& discretionaryData,
                              const std::string& authorizationCode, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                              boost::optional<std::string> merchantReference,
                              boost::optional<ECTData> discretionaryData, const std::string& authorizationCode,
                              Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& merchantReference,
                              const ECTData& discretionaryData, const std::string& authorizationCode,
                              Identifier identifier, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& merchantReference,
                              const std::string& authorizationCode, Identifier identifier, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const ECTData& discretionaryData,
                              const std::string& authorizationCode, Identifier identifier, Callback callback);
    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount,
                              boost::optional<std::string> merchantReference,
                              boost::optional<ECTData> discretionaryData, const std::string& authorizationCode,
                              Identifier identifier, Callback callback);

    using SaleLikeTransaction::addCardIdentifierFilter;
    using SaleLikeTransaction::addCardIdentifierFilters;
    using SaleLikeTransaction::addProprietaryData;
    using SaleLikeTransaction::setAcquirerDiscretionaryData;

private:
    friend ServiceTransaction;
    using SaleLikeTransaction::SaleLikeTransaction;

    AuthorizedSaleTransaction(AuthorizedSaleAction action, const Amount& amount, const std::string& authorizationCode,
                              const SaleReferences& references, Callback callback);
    AuthorizedSaleResult makeResult(const std::string& reply) override;
};

} // namespace ect
