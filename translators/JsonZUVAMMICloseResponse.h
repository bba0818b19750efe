#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The MMI close reply ("Rl"): nothing to read, the result is {}.
class JsonZUVAMMICloseResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVAMMICloseResponse();
};

} // namespace oxa
