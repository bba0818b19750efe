#pragma once

#include "encoding/Amount.h"

#include <QString>

#include <boost/optional.hpp>

namespace oxa {

// The action of a sale request. The numbers are fixed: 8 has no name.
enum SaleAction : int {
    Sale = 0,
    SaleWithCashback = 1,
    CancelSale = 2,
    Reservation = 3,
    CancelReservation = 4,
    SaleAfterReservation = 5,
    CancelSaleAfterReservation = 6,
    Refund = 7,
    SaleAfterVoiceReferral = 9,
    CashAdvance = 10,
    CancelCashAdvance = 11,
    CashAdvanceAfterVoiceReferral = 12,
    SaleWithDeliveryConfirmation = 13,
};

// One parsed sale request.
struct SaleData {
    SaleAction action = Sale;
    boost::optional<Amount> amount;
    // Amount plus cash-back, for a sale with cash-back only.
    boost::optional<Amount> totalAmount;
    boost::optional<Amount> cashbackAmount;
    boost::optional<QString> merchantReference;
    boost::optional<QString> discretionaryData; // hexadecimal
    boost::optional<QString> acquirerDiscretionaryData;
    boost::optional<QString> proprietaryData; // hexadecimal
    bool smartPay = false;
    boost::optional<QString> saleSystemActionIdentifier; // hexadecimal
    boost::optional<QString> authorizationCode;
    int cardRecognitionTimeout = 0; // seconds, from the settings
    int cardBrandIdentifiersFilter = 0;
};

} // namespace oxa
