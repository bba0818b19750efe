#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Opens a series of display operations ("Ck"); reads nothing of the request.
class JsonZUVAMMIOpenRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVAMMIOpenRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
