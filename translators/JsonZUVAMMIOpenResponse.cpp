#include "translators/JsonZUVAMMIOpenResponse.h"

namespace oxa {

JsonZUVAMMIOpenResponse::JsonZUVAMMIOpenResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rk"))
{
}

} // namespace oxa
