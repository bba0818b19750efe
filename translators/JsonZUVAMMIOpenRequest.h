#pragma once

#include "translators/JsonZUVAMMIRequest.h"

namespace oxa {

// Opens a series of display operations ("Ck"); reads nothing of the request.
class JsonZUVAMMIOpenRequest : public JsonZUVAMMIRequest {
public:
    explicit JsonZUVAMMIOpenRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
