#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The ticket reply ("Rw") of all three ticket actions: "language",
// "layoutIdentifier", "discreteElements" and "formattedTicket", each when
// the reply carries it (a printing reply may carry none).
class JsonZUVATicketPrintAtOnceResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVATicketPrintAtOnceResponse();

protected:
    QJsonObject readResult(const QByteArray& body) const override;
};

} // namespace oxa
