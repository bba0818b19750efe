#include "translators/JsonZUVAMMIOpenRequest.h"

namespace oxa {

JsonZUVAMMIOpenRequest::JsonZUVAMMIOpenRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Ck"), Ber::BerData{0x00, 0x05},
                             std::chrono::seconds(180))
{
}

} // namespace oxa
