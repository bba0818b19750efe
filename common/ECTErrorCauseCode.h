#pragma once

#include <boost/optional.hpp>

#include <cstdint>
#include <ostream>

namespace ect {

// The precise cause of a failure. Besides the named values the library
// raises the two below, and any integer found in a JSON document survives a
// round trip.
enum class ECTErrorCauseCode : std::int32_t {
    UnableToStartServer = 1,
    InvalidConnectionAdvice = 11,
    NoConnectionWithTerminal = 12,
    ExistingConnectionWithTerminal = 13,
    TransactionAlreadyRunning = 14,
    InvalidRequest = 15,
    InvalidResponse = 16,
    UnknownTerminalIdentifier = 17,
    NetworkError = 18,
    IncidentCode = 19,
    RejectionCode = 20,
    ResetTransaction = 30,
    ResetByECR = 31,
    InvalidAcquirerIdentifier = 50,
    RetailService_InvalidCurrencyCode = 110,
    RetailService_InvalidAmount = 112,
    RetailService_InvalidMerchantReference = 114,
    RetailService_InvalidAuthorizationCode = 115,
    RetailService_InvalidDiscretionaryData = 116,
    RetailService_InvalidTicketText = 117,
    RetailService_CashbackNotSpecified = 118,
    RetailService_CashbackNotAllowedForCurrency = 119,
    MMIService_StopKeyPressed = 200,
    // A wrong PIN reaches the host of the PIN classes as IncidentCode with
    // the incident "2630" (see <zuva/HostGuide.md>).
    MMIService_InvalidPinCode = 201,
};

// The causes the library raises without a name of their own: they stay
// unnamed so that errors carrying them read as they always have.
constexpr ECTErrorCauseCode kMalformedRequestValue = static_cast<ECTErrorCauseCode>(51);
constexpr ECTErrorCauseCode kInvalidProprietaryData = static_cast<ECTErrorCauseCode>(120);

// Writes the cause's name; an empty optional and unnamed values write nothing.
std::ostream& operator<<(std::ostream& out, boost::optional<ECTErrorCauseCode> cause);

} // namespace ect
