#include "RetailTestKit.h"

#include "translators/JsonZUVAInformationServiceRequest.h"
#include "translators/JsonZUVAInformationServiceResponse.h"

#include <map>
#include <stdexcept>

using namespace retailtest;

namespace {

QJsonObject replyFields(const std::vector<SimTlv>& elements)
{
    oxa::JsonZUVAInformationServiceResponse response;
    return translate(response, "Ri", elements).value("result").toObject();
}

SimTlv terminalData(const std::vector<SimTlv>& children)
{
    return element("BF8102", children);
}

} // namespace

TEST(InformationServiceRequest, BuildsTheBareEnvelope)
{
    oxa::JsonZUVAInformationServiceRequest request(oxa::makeOXAEnvironment());
    EXPECT_EQ(bodyHex(request, 7, QJsonObject()), "F009E107D0024369D10107");
    const QJsonObject noisy{{"transaction", QJsonObject{{"action", "InformationService"}, {"amount", "12.00"}}}};
    EXPECT_EQ(bodyHex(request, 99, noisy), "F009E107D0024369D10199");
    QByteArray body;
    EXPECT_THROW(request.prepareZUVABody(100, QJsonObject(), body), std::invalid_argument);
}

TEST(InformationServiceResponse, ReadsIdentityAndCapabilities)
{
    const QJsonObject fields = replyFields(
        {terminalData({SimTlv::text("9F1E", "TID-42"), SimTlv::hex("9F40", "10")}), SimTlv::text("DF05", "Model X")});
    EXPECT_EQ(fields, (QJsonObject{{"terminalIdentifier", "TID-42"}, {"terminalModel", "Model X"},
                                   {"terminalAdditionalCapabilities", "10"}, {"cashbackEnabled", true}}));
    // Cash-back is bit 0x10 of the first capabilities byte.
    const std::map<std::string, bool> cases{{"EF", false}, {"1800", true}, {"", false}};
    for (const auto& entry : cases) {
        const QJsonObject capabilities = replyFields({terminalData({SimTlv::hex("9F40", entry.first)})});
        EXPECT_EQ(capabilities.value("terminalAdditionalCapabilities").toString().toStdString(), entry.first);
        ASSERT_TRUE(capabilities.contains("cashbackEnabled")) << entry.first;
        EXPECT_EQ(capabilities.value("cashbackEnabled").toBool(), entry.second) << entry.first;
    }
}

