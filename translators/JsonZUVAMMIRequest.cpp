#include "translators/JsonZUVAMMIRequest.h"

namespace oxa {

JsonZUVAMMIRequest::JsonZUVAMMIRequest(std::shared_ptr<OXAEnvironment> environment, QString messageTypeId)
    : JsonZUVAServiceRequest(std::move(environment), std::move(messageTypeId), Ber::BerData{0x00, 0x05},
                             std::chrono::seconds(180))
{
}

} // namespace oxa
