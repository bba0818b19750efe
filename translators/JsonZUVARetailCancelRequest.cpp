#include "translators/JsonZUVARetailCancelRequest.h"

namespace oxa {

JsonZUVARetailCancelRequest::JsonZUVARetailCancelRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAOperationRequest(std::move(environment))
{
}

std::string JsonZUVARetailCancelRequest::operationCode(const QJsonObject&) const
{
    return "0040";
}

} // namespace oxa
