#pragma once

#include "translators/JsonZUVAServiceRequest.h"
#include "translators/SaleData.h"

namespace oxa {

// The retail request ("Cd") of the whole sale family: sale, cash-back,
// reservation, refund, cash advance, their cancellations and voice-referral
// variants, and the sale with delivery confirmation. The currency comes from
// the setting "currencyCode", the card recognition time-out from
// "cardRecognitionTimeout"; the transaction waits 670 seconds beyond it.
class JsonZUVASaleTransactionRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVASaleTransactionRequest(std::shared_ptr<OXAEnvironment> environment);

    // Throws std::invalid_argument "Invalid JSON" or "Invalid JSON : no
    // action defined", or ect::ECTError (Rejected) for an unknown currency
    // setting (110) or an invalid amount (112).
    SaleData parseJson(QJsonObject const& request) const;
    // The total it asks for.
    boost::optional<std::int64_t> requestedAmount(QByteArray const& body) const override;
    bool cancelsAnother(QByteArray const& body) const override;

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
