#include "client/transactions/SaleAction.h"

#include <array>

namespace ect {

namespace {

const std::array<const char*, 5> SaleActionNames{
    {"Sale", "SaleWithDeliveryConfirmation", "Reservation", "Refund", "CashAdvance"}};

const std::array<const char*, 7> AuthorizedSaleActionNames{
    {"SaleAfterVoiceReferral", "SaleAfterReservation", "CashAdvanceAfterVoiceReferral", "CancelSale",
     "CancelReservation", "CancelSaleAfterReservation", "CancelCashAdvance"}};

template <std::size_t Count>
std::string nameOf(const std::array<const char*, Count>& names, int value)
{
    if (value < 0 || value >= static_cast<int>(Count))
        return "Unknown";
    return names[static_cast<std::size_t>(value)];
}

// The index of the name; the count (the Unknown value) when none matches.
template <std::size_t Count>
int valueOf(const std::array<const char*, Count>& names, const std::string& text)
{
    std::size_t index = 0;
    while (index < Count && text != names[index])
        ++index;
    return static_cast<int>(index);
}

} // namespace

std::string toString(SaleAction action)
{
    return nameOf(SaleActionNames, static_cast<int>(action));
}

std::string toString(AuthorizedSaleAction action)
{
    return nameOf(AuthorizedSaleActionNames, static_cast<int>(action));
}

SaleAction toSaleAction(const std::string& text)
{
    return static_cast<SaleAction>(valueOf(SaleActionNames, text));
}

AuthorizedSaleAction toAuthenticatedSaleAction(const std::string& text)
{
    return static_cast<AuthorizedSaleAction>(valueOf(AuthorizedSaleActionNames, text));
}

std::string jsonResponseFromProductDeliveryReturnValue(ProductDeliveryBlockReturnValue value)
{
    return std::string("{ \"ProductDelivery\": { \"deliveryAccepted\": ") +
           (value == ProductDeliveryAccepted ? "true" : "false") + "}}";
}

} // namespace ect
