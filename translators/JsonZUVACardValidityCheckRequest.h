#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Checks a card with a zero-amount retail request ("Cd", service 8850). The
// amount and the currency are fixed; only the recognition time-out varies.
// The transaction waits 70 seconds beyond it.
class JsonZUVACardValidityCheckRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVACardValidityCheckRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
