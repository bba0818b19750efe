#include "translators/JsonZUVAMMICloseResponse.h"

namespace oxa {

JsonZUVAMMICloseResponse::JsonZUVAMMICloseResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rl"))
{
}

} // namespace oxa
