#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Ends the display operations and clears the screen ("Cl"); reads nothing of the request.
class JsonZUVAMMICloseRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVAMMICloseRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
