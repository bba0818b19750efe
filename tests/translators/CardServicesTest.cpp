#include "RetailTestKit.h"

#include "translators/JsonZUVACardRecognitionRequest.h"
#include "translators/JsonZUVACardRecognitionResponse.h"
#include "translators/JsonZUVACardValidityCheckRequest.h"
#include "translators/JsonZUVACardValidityCheckResponse.h"

using namespace retailtest;

namespace {

QJsonObject requestOf(const QString& action, QJsonObject fields = QJsonObject())
{
    fields.insert("action", action);
    return transactionDocument(fields);
}

} // namespace

// The service data is DF9468 (recognition), DF9467 (next request) and DF9462 (option).
TEST(CardRecognitionRequest, BytesAndTimeoutsFollowTheRequestAndTheSettings)
{
    oxa::JsonZUVACardRecognitionRequest request(environmentWith());
    EXPECT_EQ(bodyHex(request, 5, requestOf("RequestCardInfo")),
              "F02AE107D0024368D10105BF811611DF9468020045DF9467020030DF946201" "02BF810108DF915D04A0000000");
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(145));
    oxa::JsonZUVACardRecognitionRequest withoutSetting(environmentWith(defaultSettingsWith("cardRecognitionTimeout")));
    const QJsonObject bothFlags{{"smartPay", true}, {"saleAfterCardRecognition", true}};
    EXPECT_TRUE(contains(bodyHex(withoutSetting, 5, requestOf("RequestCardInfo", bothFlags)),
                         "BF811611DF9468020000DF9467020030DF94620103"));
    EXPECT_EQ(withoutSetting.getTransactionTimeout(), std::chrono::seconds(100));
    for (const QJsonValue& outOfRange : {QJsonValue(10000), QJsonValue(4294967296.0)})
        expectRefusal(request, requestOf("RequestCardInfo", {{"recognitionTimeout", outOfRange}}));
}

TEST(CardRecognitionResponse, ReadsTheCardAndMasksAPrivatePan)
{
    const SimTlv privatePan = element("BF8104", {SimTlv::hex("DF5F", "1001"), SimTlv::text("DF7E", "CB"),
                                                 holding("DF9460", {SimTlv::hex("5A", "123456EEEEEE789F")})});
    QJsonObject card = resultOf(oxa::JsonZUVACardRecognitionResponse(), "Rh",
                                {element("EB", {SimTlv::hex("DF915C", "A1B2"), SimTlv::hex("DF9406", "20")}), privatePan});
    EXPECT_EQ(card.take("cardType").toObject().value("isIccEmv"), true);
    EXPECT_EQ(card, (QJsonObject{{"cardToken", "A1B2"}, {"cardBrandIdentifier", "1001"}, {"cardBrandName", "CB"},
                                 {"clippedPAN", "123456xxxxxx789 "}}));
    EXPECT_ANY_THROW(resultOf(oxa::JsonZUVACardRecognitionResponse(), "Rh",
                              {element("BF8104", {SimTlv::hex("DF9460", "5A")})}));
}

TEST(CardValidityCheck, DefaultBytesTimeoutAndReply)
{
    oxa::JsonZUVACardValidityCheckRequest request(environmentWith());
    EXPECT_EQ(bodyHex(request, 5, requestOf("CheckCardValidity")),
              "F026E107D0024364D10105BF811619DF9468020045DF21028850DF5006000000000000" "5F2A020978");
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(115));
    EXPECT_TRUE(contains(bodyHex(request, 5, requestOf("CheckCardValidity", {{"recognitionTimeout", 0}})),
                         "DF9468020000"));
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(70));

    EXPECT_EQ(resultOf(oxa::JsonZUVACardValidityCheckResponse(), "Rd",
                       {element("BF8104", {SimTlv::hex("DF5F", "2003"), SimTlv::text("DF7E", "CRDB")}),
                        element("BF8116", {SimTlv::hex("DF27", "20250131123456")}),
                        element("EB", {SimTlv::text("DF46", "3714XXXX0005")})}),
              (QJsonObject{{"cardBrandIdentifier", "2003"},
                           {"cardBrandName", "CRDB"},
                           {"date", "2025-01-31-12-34-56"},
                           {"clippedPAN", "3714XXXX0005"}}));
}
