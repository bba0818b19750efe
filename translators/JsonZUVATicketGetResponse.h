#pragma once

#include "translators/JsonZUVATicketPrintAtOnceResponse.h"

namespace oxa {

// The reply to "TicketGet": read as every ticket reply.
class JsonZUVATicketGetResponse : public JsonZUVATicketPrintAtOnceResponse {
};

} // namespace oxa
