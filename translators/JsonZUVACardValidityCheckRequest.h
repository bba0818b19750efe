#pragma once

#include "translators/JsonZUVAServiceRequest.h"

#include <atomic>

namespace oxa {

// Checks a card with a zero-amount retail request ("Cd", service 8850). The
// amount and the currency are fixed; only the recognition time-out varies.
class JsonZUVACardValidityCheckRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVACardValidityCheckRequest(std::shared_ptr<OXAEnvironment> environment);

    // The recognition time-out of the last body built, plus 70 seconds.
    std::chrono::seconds getTransactionTimeout() const override;

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;

private:
    std::atomic<int> m_recognitionTimeout{0};
};

} // namespace oxa
