#pragma once

#include "translators/DeliveryData.h"
#include "translators/JsonZUVAServiceRequest.h"

namespace oxa {

// Tells the terminal whether the product of a sale with delivery confirmation
// was delivered ("RR"). Only the answer to a delivery question is sent: the
// question's translator opens an AnswerScope around it, and a "ProductDelivery"
// prepared outside one (sent by the host on its own, say) is refused. The
// transaction waits 670 seconds beyond the delivery time-out.
class JsonProductDeliveryRequest : public JsonZUVAServiceRequest {
public:
    // While one lives, the current thread may prepare a delivery answer.
    class AnswerScope {
    public:
        AnswerScope();
        ~AnswerScope();
        AnswerScope(AnswerScope const&) = delete;
        AnswerScope& operator=(AnswerScope const&) = delete;

        static bool isOpen();
    };

    explicit JsonProductDeliveryRequest(std::shared_ptr<OXAEnvironment> environment);

protected:
    void addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder) override;

private:
    static DeliveryData parseJson(QJsonObject const& request);
};

} // namespace oxa
