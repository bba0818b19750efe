#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The retail cancellation reply ("Ro"): nothing to read, the result is {}.
class JsonZUVARetailCancelResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVARetailCancelResponse();
};

} // namespace oxa
