#pragma once

#include "engine/service/JsonAdviceResponse.h"

namespace oxa {

// Turns a synchronization advice ("Cy") into the terminal event {"event": {...}}.
class JsonSynchronizationAdviceResponse : public JsonAdviceResponse {
public:
    JsonSynchronizationAdviceResponse();

protected:
    QJsonObject readAdvice(const Ber::BerTlv& root) const override;
};

} // namespace oxa
