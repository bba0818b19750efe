#pragma once

#include "translators/JsonZUVAServiceRequest.h"

#include <string>

namespace oxa {

// The operation requests ("Co" to destination 00 0A): the terminal tells
// retail cancellation and backup-mode change and status apart by the
// operation code in BF8116 { DF9464 sale system action identifier (when
// given), DF9466 operation code }.
class JsonZUVAOperationRequest : public JsonZUVAServiceRequest {
protected:
    explicit JsonZUVAOperationRequest(std::shared_ptr<OXAEnvironment> environment);

    void addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder) override;

    // The 4 decimal digits of the operation the transaction asks for.
    virtual std::string operationCode(const QJsonObject& transaction) const = 0;
    // Elements that follow BF8116; none by default.
    virtual void addOperationDetails(const QJsonObject& transaction, Ber::BerTlvBuilder& builder);
};

} // namespace oxa
