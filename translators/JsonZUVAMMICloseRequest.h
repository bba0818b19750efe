#pragma once

#include "translators/JsonZUVAMMIRequest.h"

namespace oxa {

// Ends the display operations and clears the screen ("Cl"); reads nothing of the request.
class JsonZUVAMMICloseRequest : public JsonZUVAMMIRequest {
public:
    explicit JsonZUVAMMICloseRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
