#include "translators/JsonZUVATicketPrintRequest.h"

namespace oxa {

JsonZUVATicketPrintRequest::JsonZUVATicketPrintRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVATicketPrintAtOnceRequest(std::move(environment), options(false, false, false, false))
{
}

} // namespace oxa
