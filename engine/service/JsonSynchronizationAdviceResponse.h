#pragma once

#include "engine/core/JsonZUVAResponse.h"

namespace oxa {

// Turns a synchronization advice ("Cy") into the terminal event {"event": {...}}.
class JsonSynchronizationAdviceResponse : public JsonZUVAResponse {
public:
    QString getMessageTypeId() const override;
    QString getMessageTypeName() const override;
    void handleResponse(QByteArray body, QJsonDocument& response,
                        std::function<QJsonDocument(QJsonDocument)> reverseCallback) override;
};

} // namespace oxa
