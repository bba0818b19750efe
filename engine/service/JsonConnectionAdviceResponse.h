#pragma once

#include "engine/core/JsonZUVAResponse.h"

namespace oxa {

// Turns a connection advice ("Cu") into the terminal description {"terminal": {...}}.
class JsonConnectionAdviceResponse : public JsonZUVAResponse {
public:
    QString getMessageTypeId() const override;
    QString getMessageTypeName() const override;
    void handleResponse(QByteArray body, QJsonDocument& response,
                        std::function<QJsonDocument(QJsonDocument)> reverseCallback) override;
};

} // namespace oxa
