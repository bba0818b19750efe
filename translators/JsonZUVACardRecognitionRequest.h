#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Asks the terminal to recognise a card without an amount ("Ch"): how long to
// wait for the card and for the request that follows, and what to do with the
// card afterwards. The transaction waits 70 seconds beyond both time-outs.
class JsonZUVACardRecognitionRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVACardRecognitionRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
