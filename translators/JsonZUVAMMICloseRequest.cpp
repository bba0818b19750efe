#include "translators/JsonZUVAMMICloseRequest.h"

namespace oxa {

JsonZUVAMMICloseRequest::JsonZUVAMMICloseRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cl"), Ber::BerData{0x00, 0x05},
                             std::chrono::seconds(180))
{
}

} // namespace oxa
