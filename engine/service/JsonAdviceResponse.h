#pragma once

#include "encoding/ber/BerTlv.h"
#include "engine/core/JsonZUVAResponse.h"

#include <QJsonObject>

namespace oxa {

// An advice the terminal sends unasked: its fields go into the response under
// one key ({"terminal": {...}}, {"event": {...}}).
class JsonAdviceResponse : public JsonZUVAResponse {
public:
    QString getMessageTypeId() const override;
    QString getMessageTypeName() const override;
    void handleResponse(QByteArray body, QJsonDocument& response,
                        std::function<QJsonDocument(QJsonDocument)> reverseCallback) override;

protected:
    JsonAdviceResponse(QString messageTypeId, QString messageTypeName, QString key);

    virtual QJsonObject readAdvice(const Ber::BerTlv& root) const = 0;

private:
    QString m_messageTypeId;
    QString m_messageTypeName;
    QString m_key;
};

} // namespace oxa
