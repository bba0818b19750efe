#include "translators/JsonZUVAInformationServiceRequest.h"

namespace oxa {

JsonZUVAInformationServiceRequest::JsonZUVAInformationServiceRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Ci"), Ber::BerData{0x00, 0x0F},
                             std::chrono::seconds(5))
{
}

} // namespace oxa
