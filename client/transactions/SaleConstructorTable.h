#pragma once

#include "client/transactions/SaleLikeTransaction.h"

#include <tuple>

namespace ect {

template <typename Derived, typename Result, typename Extra, typename Lead, typename Trail>
class SaleConstructorTable;

// The constructors that the sale transactions share: the class's leading
// parameters (Lead), one of ten combinations of merchant reference,
// discretionary data and sale system action identifier, the host's result
// callback, then the class's trailing parameters (Trail). Derived supplies
// saleRequest(lead...) and saleExtra(lead..., trail...).
//
// A merchant reference written as a string literal matches two of them (a
// literal converts to ECTData too), so the call does not compile; pass it as
// a std::string instead:
//   SaleTransaction(SaleAction::Sale, Amount("12.50"), std::string("REF"), callback)
template <typename Derived, typename Result, typename Extra, typename... Lead, typename... Trail>
class SaleConstructorTable<Derived, Result, Extra, std::tuple<Lead...>, std::tuple<Trail...>>
    : public SaleLikeTransaction<Derived, Result, Extra> {
    using Base = SaleLikeTransaction<Derived, Result, Extra>;
    using Identifier = ECTSaleSystemActionIdentifier;

public:
    using typename Base::Callback;

    SaleConstructorTable(Lead... lead, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{}, lead..., std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const Identifier& identifier, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{boost::none, boost::none, identifier}, lead..., std::move(callback),
                               std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const std::string& merchantReference, const ECTData& discretionaryData,
                         Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, discretionaryData, boost::none}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const std::string& merchantReference, const ECTData& discretionaryData,
                         const Identifier& identifier, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, discretionaryData, identifier}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const std::string& merchantReference, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, boost::none, boost::none}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const std::string& merchantReference, const Identifier& identifier,
                         Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, boost::none, identifier}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const ECTData& discretionaryData, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{boost::none, discretionaryData, boost::none}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, const ECTData& discretionaryData, const Identifier& identifier,
                         Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{boost::none, discretionaryData, identifier}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, boost::optional<std::string> merchantReference,
                         boost::optional<ECTData> discretionaryData, Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, discretionaryData, boost::none}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }
    SaleConstructorTable(Lead... lead, boost::optional<std::string> merchantReference,
                         boost::optional<ECTData> discretionaryData, boost::optional<Identifier> identifier,
                         Callback callback, Trail... trail)
        : SaleConstructorTable(SaleReferences{merchantReference, discretionaryData, identifier}, lead...,
                               std::move(callback), std::move(trail)...)
    {
    }

protected:
    explicit SaleConstructorTable(typename Base::MovedState moved)
        : Base(std::move(moved))
    {
    }

private:
    SaleConstructorTable(const SaleReferences& references, Lead... lead, Callback callback, Trail... trail)
        : Base(Derived::saleRequest(lead...), std::move(callback))
    {
        this->addReferences(references);
        this->extra() = Derived::saleExtra(lead..., std::move(trail)...);
    }
};

} // namespace ect
