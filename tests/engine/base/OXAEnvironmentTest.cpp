#include "engine/base/OXAEnvironment.h"

#include "engine/base/ECTCertificationLogging.h"

#include <QJsonDocument>
#include <QTemporaryDir>

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

} // namespace

TEST(OXAEnvironment, FreshEnvironmentHoldsTheDefaultsAndAnUpdateReplacesEverything)
{
    std::unique_ptr<OXAEnvironment> environment = makeOXAEnvironment();
    EXPECT_EQ(QByteArray(R"({"serviceSettings":{"cardInfoTrailingRequestTimeout":30,"cardRecognitionTimeout":45,)"
                         R"("certificationModeEnabled":false,"connectionAdviceTimeout":1500,"currencyCode":"EUR",)"
                         R"("displayResultTimeout":2}})"),
              compact(environment->toJson()));
    EXPECT_FALSE(environment->get("deliveryTimeout").isValid());

    environment->update(settings(R"({"serviceSettings": {"connectionAdviceTimeout": 3000, "custom": "x",
                                                          "deliveryTimeout": "25", "bad": [1]}})"));
    EXPECT_EQ(25, environment->get("deliveryTimeout").toInt()); // text read as a number
    EXPECT_EQ(0, environment->get("bad").toInt());
    EXPECT_FALSE(environment->get("cardRecognitionTimeout").isValid());

    for (char const* other : {R"({"other": {"a": 1}})", R"({"serviceSettings": 5})"}) {
        environment->update(settings(other));
        EXPECT_EQ(QByteArray(R"({"serviceSettings":{}})"), compact(environment->toJson())) << other;
    }
}

// Settings are replaced whole, except for the certification log: it takes
// only the keys a document holds, and only true (or "true") switches it on.
TEST(OXAEnvironment, CertificationLogKeepsWhatADocumentLeavesOut)
{
    QTemporaryDir folder;
    std::unique_ptr<OXAEnvironment> environment = makeOXAEnvironment();
    environment->update(QJsonObject{{"serviceSettings", QJsonObject{{"certificationFilePath", folder.path()},
                                                                    {"certificationFileName", "c.log"}}}});
    const struct {
        const char* settings;
        bool logging;
    } rows[] = {
        {R"({"serviceSettings": {"certificationModeEnabled": true}})", true},
        {R"({"serviceSettings": {"currencyCode": "EUR"}})", true},
        {R"({"serviceSettings": {}})", true},
        {R"({"serviceSettings": {"certificationModeEnabled": 1}})", false},
        {R"({"serviceSettings": {"certificationModeEnabled": "true"}})", true},
        {R"({"serviceSettings": {"certificationModeEnabled": false}})", false},
    };
    for (const auto& row : rows) {
        environment->update(settings(row.settings));
        EXPECT_EQ(row.logging, ECTCertificationLogging::sharedInstance().isLogging()) << row.settings;
    }
}
