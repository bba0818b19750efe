#pragma once

#include <string>

// What a host's product-delivery callback answers: 1 accepts the delivery,
// every other value refuses it (any int converts: the type is fixed).
enum ProductDeliveryBlockReturnValue : int {
    ProductDeliveryRefused = 0,
    ProductDeliveryAccepted = 1,
};

namespace ect {

// The actions of a sale request, as they travel in its "action".
enum class SaleAction {
    Sale = 0,
    SaleWithDeliveryConfirmation = 1,
    Reservation = 2,
    Refund = 3,
    CashAdvance = 4,
    Unknown = 5,
};

enum class AuthorizedSaleAction {
    SaleAfterVoiceReferral = 0,
    SaleAfterReservation = 1,
    CashAdvanceAfterVoiceReferral = 2,
    CancelSale = 3,
    CancelReservation = 4,
    CancelSaleAfterReservation = 5,
    CancelCashAdvance = 6,
    Unknown = 7,
};

// The action's name; "Unknown" for Unknown and any value without a name.
std::string toString(SaleAction action);
std::string toString(AuthorizedSaleAction action);
// The action of that exact (case-sensitive) name; Unknown for any other text.
SaleAction toSaleAction(const std::string& text);
AuthorizedSaleAction toAuthenticatedSaleAction(const std::string& text);

// The answer to the terminal's product-delivery question:
// { "ProductDelivery": { "deliveryAccepted": true}} or the same with false.
std::string jsonResponseFromProductDeliveryReturnValue(ProductDeliveryBlockReturnValue value);

} // namespace ect
