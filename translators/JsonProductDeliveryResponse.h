#pragma once

#include "engine/core/JsonTransactionRequestHandler.h"
#include "translators/JsonZUVAServiceResponse.h"

#include <memory>

namespace oxa {

// The terminal's delivery question ("CR") during a sale with delivery
// confirmation: puts it to the host through the reverse callback and sends
// the host's answer back as a nested "ProductDelivery" transaction, which
// takes over the sale's result; it writes no result of its own then. A sale
// reply ("Rd") instead of the question ends the sale without asking.
class JsonProductDeliveryResponse : public JsonZUVAServiceResponse {
public:
    explicit JsonProductDeliveryResponse(std::weak_ptr<JsonTransactionRequestHandler> requestHandler);

    QString getMessageTypeName() const override;
    void handleResponse(QByteArray body, QJsonDocument& response,
                        std::function<QJsonDocument(QJsonDocument)> reverseCallback) override;
    // A late sale reply as the sale translator describes it; nothing of a late question.
    QString describeLateReply(QByteArray const& body) const override;
    boost::optional<std::int64_t> approvedAmount(QByteArray const& body) const override;
    bool carriesAmount() const override { return true; }

    // The question's fields, "productdelivery": true first.
    static QJsonObject question(QByteArray const& body);
    // Whether the host's answer accepts the delivery; anything but
    // {"ProductDelivery": {"deliveryAccepted": true}} refuses it.
    static bool deliveryAccepted(QJsonDocument const& answer);

private:
    static bool isSaleReply(QByteArray const& body);
    void answerQuestion(QByteArray const& body, std::function<QJsonDocument(QJsonDocument)> const& reverseCallback);

    std::weak_ptr<JsonTransactionRequestHandler> m_requestHandler;
};

} // namespace oxa
