#pragma once

#include "translators/JsonZUVAOperationRequest.h"

namespace oxa {

// Asks the terminal to cancel the retail transaction (operation "0040"),
// the one the sale system action identifier names when it is given.
class JsonZUVARetailCancelRequest : public JsonZUVAOperationRequest {
public:
    explicit JsonZUVARetailCancelRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    std::string operationCode(const QJsonObject& transaction) const override;
};

} // namespace oxa
