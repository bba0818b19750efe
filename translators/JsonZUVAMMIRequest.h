#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// The display and keyboard requests: all go to destination 00 05 and wait up
// to 180 s, time the customer may take at the keyboard.
class JsonZUVAMMIRequest : public JsonZUVAServiceRequest {
protected:
    JsonZUVAMMIRequest(std::shared_ptr<OXAEnvironment> environment, QString messageTypeId);
};

} // namespace oxa
