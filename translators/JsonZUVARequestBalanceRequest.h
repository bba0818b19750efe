#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Consults or closes the financial counters of a terminal or site ("Cb") for
// one acquirer.
class JsonZUVARequestBalanceRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVARequestBalanceRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    // Throws std::invalid_argument for a request without action or
    // "acquirerId", ect::ECTError (Rejected, InvalidAcquirerIdentifier) for
    // an identifier that is not 8 decimal digits.
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
