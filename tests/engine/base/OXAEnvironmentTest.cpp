#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/OXAEnvironment.h"

#include "LogFiles.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace oxa;

namespace {

QJsonObject settings(char const* json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray compact(QJsonObject const& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

class OXAEnvironmentTest : public ::testing::Test {
protected:
    void TearDown() override { makeOXAEnvironment(); } // certification mode off again

    std::unique_ptr<OXAEnvironment> environment = makeOXAEnvironment();
};

} // namespace

TEST_F(OXAEnvironmentTest, FreshEnvironmentHoldsTheDefaults)
{
    EXPECT_EQ(QByteArray(R"({"serviceSettings":{"cardInfoTrailingRequestTimeout":30,"cardRecognitionTimeout":45,)"
                         R"("certificationModeEnabled":false,"connectionAdviceTimeout":1500,"currencyCode":"EUR",)"
                         R"("displayResultTimeout":2}})"),
              compact(environment->toJson()));
    for (char const* unset : {"certificationFilePath", "certificationFileName", "deliveryTimeout",
                              "serialHeartBeatInterval"})
        EXPECT_FALSE(environment->get(unset).isValid()) << unset;
}

TEST_F(OXAEnvironmentTest, UpdateReplacesEverything)
{
    environment->update(settings(R"({"serviceSettings": {"connectionAdviceTimeout": 3000, "custom": "x",
                                                          "deliveryTimeout": "25", "bad": [1]}})"));
    EXPECT_EQ(3000, environment->get("connectionAdviceTimeout").toInt());
    EXPECT_EQ(25, environment->get("deliveryTimeout").toInt()); // text read as a number
    EXPECT_EQ(0, environment->get("bad").toInt());
    EXPECT_FALSE(environment->get("cardRecognitionTimeout").isValid());
    EXPECT_EQ("", environment->get("currencyCode").toString());

    for (char const* other : {R"({"other": {"a": 1}})", R"({"serviceSettings": 5})"}) {
        environment->update(settings(other));
        EXPECT_EQ(QByteArray(R"({"serviceSettings":{}})"), compact(environment->toJson())) << other;
    }
}
