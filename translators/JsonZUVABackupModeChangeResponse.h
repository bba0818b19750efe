#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The backup-mode change reply ("Ro"): nothing to read, the result is {}.
class JsonZUVABackupModeChangeResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVABackupModeChangeResponse();
};

} // namespace oxa
