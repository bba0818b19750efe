#include "common/ECTErrorCauseCode.h"

namespace ect {

namespace {

char const* nameOf(ECTErrorCauseCode cause)
{
    using C = ECTErrorCauseCode;
    switch (cause) {
    case C::UnableToStartServer: return "UnableToStartServer";
    case C::InvalidConnectionAdvice: return "InvalidConnectionAdvice";
    case C::NoConnectionWithTerminal: return "NoConnectionWithTerminal";
    case C::ExistingConnectionWithTerminal: return "ExistingConnectionWithTerminal";
    case C::TransactionAlreadyRunning: return "TransactionAlreadyRunning";
    case C::InvalidRequest: return "InvalidRequest";
    case C::InvalidResponse: return "InvalidResponse";
    case C::UnknownTerminalIdentifier: return "UnknownTerminalIdentifier";
    case C::NetworkError: return "NetworkError";
    case C::IncidentCode: return "IncidentCode";
    case C::RejectionCode: return "RejectionCode";
    case C::ResetTransaction: return "ResetTransaction";
    case C::ResetByECR: return "ResetByECR";
    case C::InvalidAcquirerIdentifier: return "InvalidAcquirerIdentifier";
    case C::RetailService_InvalidCurrencyCode: return "RetailService_InvalidCurrencyCode";
    case C::RetailService_InvalidAmount: return "RetailService_InvalidAmount";
    case C::RetailService_InvalidMerchantReference: return "RetailService_InvalidMerchantReference";
    case C::RetailService_InvalidAuthorizationCode: return "RetailService_InvalidAuthorizationCode";
    case C::RetailService_InvalidDiscretionaryData: return "RetailService_InvalidDiscretionaryData";
    case C::RetailService_InvalidTicketText: return "RetailService_InvalidTicketText";
    case C::RetailService_CashbackNotSpecified: return "RetailService_CashbackNotSpecified";
    case C::RetailService_CashbackNotAllowedForCurrency:
        return "RetailService_CashbackNotAllowedForCurrency";
    case C::MMIService_StopKeyPressed: return "MMIService_StopKeyPressed";
    case C::MMIService_InvalidPinCode: return "MMIService_InvalidPinCode";
    }
    return "";
}

} // namespace

std::ostream& operator<<(std::ostream& out, boost::optional<ECTErrorCauseCode> cause)
{
    return cause ? out << nameOf(*cause) : out;
}

} // namespace ect
