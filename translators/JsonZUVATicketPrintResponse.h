#pragma once

#include "translators/JsonZUVATicketPrintAtOnceResponse.h"

namespace oxa {

// The reply to "PrintTicket": read as every ticket reply.
class JsonZUVATicketPrintResponse : public JsonZUVATicketPrintAtOnceResponse {
};

} // namespace oxa
