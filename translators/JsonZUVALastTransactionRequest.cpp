#include "translators/JsonZUVALastTransactionRequest.h"

namespace oxa {

JsonZUVALastTransactionRequest::JsonZUVALastTransactionRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Ce"), Ber::BerData{0x00, 0x0A},
                             std::chrono::seconds(5))
{
}

} // namespace oxa
