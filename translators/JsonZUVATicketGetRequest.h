#pragma once

#include "translators/JsonZUVATicketPrintAtOnceRequest.h"

namespace oxa {

// Fetches a ticket the terminal holds ("TicketGet"), e.g. the client ticket of a
// sale, without paper feed and with copies allowed.
class JsonZUVATicketGetRequest : public JsonZUVATicketPrintAtOnceRequest {
public:
    explicit JsonZUVATicketGetRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
