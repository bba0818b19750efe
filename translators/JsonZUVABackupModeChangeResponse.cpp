#include "translators/JsonZUVABackupModeChangeResponse.h"

namespace oxa {

JsonZUVABackupModeChangeResponse::JsonZUVABackupModeChangeResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Ro"))
{
}

} // namespace oxa
