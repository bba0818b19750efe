#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The MMI open reply ("Rk"): nothing to read, the result is {}.
class JsonZUVAMMIOpenResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVAMMIOpenResponse();
};

} // namespace oxa
