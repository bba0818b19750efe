#include "translators/JsonZUVAMMICloseRequest.h"

namespace oxa {

JsonZUVAMMICloseRequest::JsonZUVAMMICloseRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAMMIRequest(std::move(environment), QStringLiteral("Cl"))
{
}

} // namespace oxa
