#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Asks the terminal who it is ("Ci"); reads nothing of the request document.
class JsonZUVAInformationServiceRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVAInformationServiceRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
