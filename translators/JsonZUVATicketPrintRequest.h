#pragma once

#include "translators/JsonZUVATicketPrintAtOnceRequest.h"

namespace oxa {

// Prints a ticket ("PrintTicket") with every printing option off.
class JsonZUVATicketPrintRequest : public JsonZUVATicketPrintAtOnceRequest {
public:
    explicit JsonZUVATicketPrintRequest(std::shared_ptr<OXAEnvironment> environment);
};

} // namespace oxa
