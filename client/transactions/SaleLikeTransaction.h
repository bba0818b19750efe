#pragma once

#include "client/RetrieveTicketsAfterSale.h"
#include "client/TransactionHelpers.h"
#include "client/transactions/DeliveryQuestion.h"
#include "common/Amount.h"
#include "common/CardBrandIdentifier.h"
#include "common/ECTData.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace ect {

// The optional references a sale request may carry.
struct SaleReferences {
    boost::optional<std::string> merchantReference;
    boost::optional<ECTData> discretionaryData;
    boost::optional<ECTSaleSystemActionIdentifier> saleSystemActionIdentifier;
};

// What every sale-like transaction does with its replies: the final result
// reaches the host through the ticket retrieval, exactly once; a
// product-delivery question is answered (by default: not delivered) and the
// transaction stays open for the terminal's final result. The request's
// filter and data operations are here too; a class that offers them makes
// them public with using-declarations.
template <typename Derived, typename Result, typename Extra = NoExtraState>
class SaleLikeTransaction : public ServiceTransaction<Derived, Result, Extra> {
    using Base = ServiceTransaction<Derived, Result, Extra>;

public:
    using typename Base::Callback;

    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override
    {
        if (DeliveryQuestion::is(reply)) {
            respond(answerQuestion(reply));
            return false;
        }
        retrieveTicketsAfterSale<Result>(makeResult(reply), this->callback(), this->terminal());
        return true;
    }

protected:
    SaleLikeTransaction(Json::Value request, Callback callback)
        : Base(std::move(request), std::move(callback))
    {
    }
    explicit SaleLikeTransaction(typename Base::MovedState moved)
        : Base(std::move(moved))
    {
    }

    // "transaction" with "action", "type" and "amount".
    static Json::Value saleRequest(const std::string& action, const std::string& type, const Amount& amount)
    {
        Json::Value request = makeRequest(action, type);
        request["transaction"]["amount"] = amount.toString();
        return request;
    }

    virtual Result makeResult(const std::string& reply) = 0;
    virtual std::string answerQuestion(const std::string& /*question*/) { return DeliveryQuestion::refusal(); }

    void addReferences(const SaleReferences& references)
    {
        Json::Value& transaction = this->transactionObject();
        if (references.merchantReference)
            transaction["merchantReference"] = *references.merchantReference;
        if (references.discretionaryData)
            transaction["discretionaryData"] = references.discretionaryData->stringValue();
        if (references.saleSystemActionIdentifier)
            transaction["saleSystemActionIdentifier"] = references.saleSystemActionIdentifier->stringValue();
    }

    // Filters accumulate into one mask, written whole as a signed 32-bit integer.
    Derived& addCardIdentifierFilter(CardBrandIdentifier brand)
    {
        Json::Value& filter = this->transactionObject()["cardBrandIdentifiersFilter"];
        const std::uint32_t mask = static_cast<std::uint32_t>(filter.isInt() ? filter.asInt() : 0) | brand;
        filter = static_cast<Json::Int>(static_cast<std::int32_t>(mask));
        return static_cast<Derived&>(*this);
    }

    Derived& addCardIdentifierFilters(std::vector<CardBrandIdentifier> brands)
    {
        for (CardBrandIdentifier brand : brands)
            addCardIdentifierFilter(brand);
        return static_cast<Derived&>(*this);
    }

    Derived& addProprietaryData(ECTData& data)
    {
        this->transactionObject()["proprietaryData"] = data.stringValue();
        return static_cast<Derived&>(*this);
    }

    Derived& setAcquirerDiscretionaryData(std::string& data)
    {
        this->transactionObject()["acquirerDiscretionaryData"] = data;
        return static_cast<Derived&>(*this);
    }
};

} // namespace ect
