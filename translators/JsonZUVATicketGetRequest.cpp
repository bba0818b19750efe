#include "translators/JsonZUVATicketGetRequest.h"

namespace oxa {

JsonZUVATicketGetRequest::JsonZUVATicketGetRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVATicketPrintAtOnceRequest(std::move(environment), options(true, false, true, false))
{
}

} // namespace oxa
