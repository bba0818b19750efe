#pragma once

#include "engine/service/JsonAdviceResponse.h"

namespace oxa {

// Turns a connection advice ("Cu") into the terminal description {"terminal": {...}}.
class JsonConnectionAdviceResponse : public JsonAdviceResponse {
public:
    JsonConnectionAdviceResponse();

protected:
    QJsonObject readAdvice(const Ber::BerTlv& root) const override;
};

} // namespace oxa
