#include "engine/base/OXAEnvironment.h"
#include "support/SimMessage.h"
#include "translators/JsonZUVAServiceRequest.h"
#include "translators/JsonZUVAServiceResponse.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

using namespace testsupport;

namespace {

// A service with one element after the envelope, as the "Co" services build it.
class OperationRequest : public oxa::JsonZUVAServiceRequest {
public:
    OperationRequest()
        : JsonZUVAServiceRequest(oxa::makeOXAEnvironment(), "Co", Ber::BerData{0x00, 0x0A}, std::chrono::seconds(60))
    {
    }

protected:
    void addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder) override
    {
        seenAction = transactionOf(request).value("action").toString();
        Ber::BerTlv operation(Ber::BerTag(0xBF, 0x81, 0x16));
        operation.addData(Ber::BerTag(0xDF, 0x94, 0x66), Ber::BerData{0x00, 0x40});
        builder.addBerTlv(operation);
    }

public:
    QString seenAction;
};

class FieldlessResponse : public oxa::JsonZUVAServiceResponse {
public:
    FieldlessResponse() : JsonZUVAServiceResponse("Ro") {}
};

} // namespace

TEST(ServiceFamily, ServiceElementsFollowTheEnvelope)
{
    OperationRequest request;
    QByteArray body;
    request.prepareZUVABody(7, QJsonObject{{"transaction", QJsonObject{{"action", "CancelRetail"}}}}, body);
    EXPECT_EQ(toHex(Bytes(body.begin(), body.end())), "F013E107D002436FD10107BF811606DF94660200" "40");
    EXPECT_EQ(request.seenAction, "CancelRetail");
    EXPECT_EQ(request.messageTypeId(), "Co");
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(60));
}

TEST(ServiceFamily, FieldlessRepliesYieldAnEmptyResultWhateverTheBody)
{
    FieldlessResponse response;
    EXPECT_EQ(response.getMessageTypeId(), "Ro");
    QJsonDocument result;
    response.handleResponse(QByteArray("\xF0\x7F garbage", 10), result, {});
    EXPECT_EQ(result.object(), (QJsonObject{{"result", QJsonObject()}}));
}
