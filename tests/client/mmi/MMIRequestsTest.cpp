#include "MMIFlowTestSupport.h"
#include "client/FakeSend.h"
#include "client/mmi/CancelPasswordValidation.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/MMIOpenTransaction.h"
#include "client/mmi/MMITransaction.h"
#include "client/mmi/ResetScreen.h"
#include "client/mmi/ShowMessage.h"
#include "client/mmi/VerifyPinFlow.h"

#include <json/reader.h>

#include <gtest/gtest.h>

using namespace ect;

namespace {

Json::Value parsed(const char* text)
{
    Json::Value value;
    Json::Reader().parse(text, value, false);
    return value;
}

MMIParameter everyMember()
{
    MMIParameter parameter;
    parameter.displayTimeout = 30;
    parameter.firstTextIdentifier = 26;
    parameter.firstTextLanguage = "fr";
    parameter.secondTextIdentifier = 14;
    parameter.secondTextLanguage = "de";
    parameter.freeText = FreeText("a", "", "", "d");
    parameter.encryptedPin = EncryptedData("01", 300, "FF", "zz", ECTEncryptionAlgorithm::None);
    return parameter;
}

} // namespace

TEST(MMIRequestsTest, RequestsCarryTheirValuesAsTheyStand)
{
    clienttest::FakeSend fake;
    const auto record = [](const MMITransactionResult&) {};
    // Sends, answers with an empty result and returns the last request (a message's display operation).
    const auto send = [&](Transaction&& transaction) {
        fake.terminal("T1")->makeTransaction(std::move(transaction));
        fake.finish(fake.count() - 1, R"({"result":{}})");
        return fake.request(fake.count() - 1);
    };
    EXPECT_EQ(parsed(R"({"action":"MMIOpen"})"), send(MMIOpenTransaction(record)));
    EXPECT_EQ(parsed(R"({"action":"MMIClose"})"), send(MMICloseTransaction(record)));
    EXPECT_EQ(parsed(R"({"action":"MMIClose","type":"MMIClose"})"), send(ResetScreen()));
    EXPECT_EQ(parsed(R"({"action":"MMITransaction","displayTimeout":180})"),
              send(MMITransaction(MMIParameter(), record)));
    EXPECT_EQ(parsed(R"({"action":"MMITransaction","displayTimeout":30,
                         "firstTextIdentifier":26,"firstTextLanguage":"fr",
                         "secondTextIdentifier":14,"secondTextLanguage":"de",
                         "freeText":{"text_1":"a","text_2":"","text_3":"","text_4":"d"},
                         "encryptedPin":{"algorithm":"None","encryptedPin":"01","keyIndex":300,
                                         "keySerialNumber":"FF","encryptionData":"zz"}})"),
              send(MMITransaction(everyMember(), record)));
    EXPECT_EQ(parsed(R"({"action":"MMITransaction","displayTimeout":5,"firstTextIdentifier":40,"firstTextLanguage":"de",
                         "secondTextIdentifier":14,"secondTextLanguage":"de",
                         "freeText":{"text_1":"x","text_2":"","text_3":"","text_4":""}})"),
              send(ShowMessage(40, "de", 5, FreeText("x", "", "", ""), record)));
}

TEST(MMIRequestsTest, MovedFromAndCancellingObjectsSendNothing)
{
    clienttest::FakeSend fake;
    int calls = 0;
    VerifyPinFlow flow(mmitest::Pin, "fr", 30, 3, false, [&](const VerifyPinResult&) { ++calls; });
    MMITransaction operation(MMIParameter(), [&](const MMITransactionResult&) { ++calls; });
    fake.terminal("T1")->makeTransaction(std::move(flow));
    fake.terminal("T1")->makeTransaction(std::move(operation));
    ASSERT_EQ(2u, fake.count());
    flow.setFreeText(FreeText("", "", "", "")).setSuccessNextMessageData(5, 40, boost::none);
    fake.terminal("T1")->makeTransaction(std::move(flow));
    fake.terminal("T1")->makeTransaction(std::move(operation));
    fake.terminal("T1")->makeTransaction(CancelPasswordValidation());
    EXPECT_EQ(2u, fake.count());
    EXPECT_EQ(0, calls);
}
