#include "translators/JsonZUVARetailCancelResponse.h"

namespace oxa {

JsonZUVARetailCancelResponse::JsonZUVARetailCancelResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Ro"))
{
}

} // namespace oxa
