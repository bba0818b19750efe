#include "translators/JsonZUVAMMIOpenRequest.h"

namespace oxa {

JsonZUVAMMIOpenRequest::JsonZUVAMMIOpenRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAMMIRequest(std::move(environment), QStringLiteral("Ck"))
{
}

} // namespace oxa
