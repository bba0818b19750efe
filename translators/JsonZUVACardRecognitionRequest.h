#pragma once

#include "translators/JsonZUVAServiceRequest.h"

#include <atomic>

namespace oxa {

// Asks the terminal to recognise a card without an amount ("Ch"): how long to
// wait for the card and for the request that follows, and what to do with the
// card afterwards.
class JsonZUVACardRecognitionRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVACardRecognitionRequest(std::shared_ptr<OXAEnvironment> environment);

    // Both time-outs of the last body built, plus 70 seconds.
    std::chrono::seconds getTransactionTimeout() const override;

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;

private:
    std::atomic<int> m_recognitionTimeouts{0};
};

} // namespace oxa
