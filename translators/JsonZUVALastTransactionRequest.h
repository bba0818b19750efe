#pragma once

#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Asks for the status of the last transaction the terminal processed ("Ce");
// reads nothing of the request document.
class JsonZUVALastTransactionRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVALastTransactionRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
