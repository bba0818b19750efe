#pragma once

#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"
#include "engine/core/JsonZUVAResponse.h"

#include <QJsonObject>

namespace oxa {

// Common shape of a service's response translator: it accepts one message
// type and stores the fields it reads under "result" ({"result": {...}}).
class JsonZUVAServiceResponse : public JsonZUVAResponse {
public:
    QString getMessageTypeId() const override;
    void handleResponse(QByteArray body, QJsonDocument& result,
                        std::function<QJsonDocument(QJsonDocument)> reverseCallback) override;

protected:
    explicit JsonZUVAServiceResponse(QString messageTypeId);

    // The result fields of a reply body. The default reads none and leaves the
    // body unparsed, so the result is {} whatever the body holds.
    virtual QJsonObject readResult(const QByteArray& body) const;

    // The body as one element tree; throws the codec's exception when malformed.
    static Ber::BerTlv parseBody(const QByteArray& body);
    // The element a reply must carry; throws std::invalid_argument(missing) without
    // it, so that a reply lacking it never reads as a default answer.
    static Ber::BerTlv require(const boost::optional<Ber::BerTlv>& element, const char* missing);

private:
    QString m_messageTypeId;
};

} // namespace oxa
