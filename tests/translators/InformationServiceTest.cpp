#include "engine/base/OXAEnvironment.h"
#include "support/SimMessage.h"
#include "translators/JsonZUVAInformationServiceRequest.h"
#include "translators/JsonZUVAInformationServiceResponse.h"
#include "translators/ZUVATransactionTable.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <stdexcept>

using namespace testsupport;

namespace {

std::string bodyHex(oxa::JsonTransactionRequest& request, int sequence, const QJsonObject& document = {})
{
    QByteArray body;
    request.prepareZUVABody(sequence, document, body);
    return toHex(Bytes(body.begin(), body.end()));
}

QJsonObject translate(const Bytes& body, QJsonDocument document = QJsonDocument())
{
    oxa::JsonZUVAInformationServiceResponse response;
    response.handleResponse(QByteArray(reinterpret_cast<const char*>(body.data()), static_cast<int>(body.size())),
                            document, {});
    return document.object();
}

QJsonObject replyFields(const std::vector<SimTlv>& elements)
{
    return translate(SimMessage::buildBody("Ri", 7, elements)).value("result").toObject();
}

SimTlv terminalData(const std::vector<SimTlv>& children)
{
    return SimTlv::constructed(fromHex("BF8102"), children);
}

} // namespace

TEST(InformationServiceRequest, BuildsTheBareEnvelope)
{
    oxa::JsonZUVAInformationServiceRequest request(oxa::makeOXAEnvironment());
    EXPECT_EQ(bodyHex(request, 7), "F009E107D0024369D10107");
    EXPECT_EQ(bodyHex(request, 42), "F009E107D0024369D10142");
    const QJsonObject noisy{{"transaction", QJsonObject{{"action", "InformationService"}, {"amount", "12.00"}}}};
    EXPECT_EQ(bodyHex(request, 99, noisy), "F009E107D0024369D10199");
    const Ber::BerData destination = request.getDestinationCode();
    EXPECT_EQ(destination.stringValue(), "000F");
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(5));
    QByteArray body;
    EXPECT_THROW(request.prepareZUVABody(100, QJsonObject(), body), std::invalid_argument);
}

TEST(InformationServiceResponse, ReadsIdentityAndCapabilities)
{
    oxa::JsonZUVAInformationServiceResponse response;
    EXPECT_EQ(response.getMessageTypeId(), "Ri");
    EXPECT_EQ(response.getMessageTypeName(), "");

    const QJsonObject fields = replyFields(
        {terminalData({SimTlv::text("9F1E", "TID-42"), SimTlv::hex("9F40", "10")}), SimTlv::text("DF05", "Model X")});
    EXPECT_EQ(fields.value("terminalIdentifier").toString(), "TID-42");
    EXPECT_EQ(fields.value("terminalModel").toString(), "Model X");
    EXPECT_EQ(fields.value("terminalAdditionalCapabilities").toString(), "10");
    EXPECT_EQ(fields.value("cashbackEnabled").toBool(false), true);
}

TEST(InformationServiceResponse, CashbackIsBit0x10OfTheFirstCapabilitiesByte)
{
    const std::map<std::string, bool> cases{{"10", true}, {"EF", false}, {"1800", true}, {"08", false}, {"", false}};
    for (const auto& entry : cases) {
        const QJsonObject fields = replyFields({terminalData({SimTlv::hex("9F40", entry.first)})});
        EXPECT_EQ(fields.value("terminalAdditionalCapabilities").toString().toStdString(), entry.first);
        ASSERT_TRUE(fields.contains("cashbackEnabled")) << entry.first;
        EXPECT_EQ(fields.value("cashbackEnabled").toBool(), entry.second) << entry.first;
    }
}

TEST(InformationServiceResponse, FieldsOutsideTheirPlaceOrAbsentAreLeftOut)
{
    EXPECT_EQ(replyFields({}), QJsonObject());
    // Identifier and capabilities count only inside BF8102.
    EXPECT_EQ(replyFields({SimTlv::text("9F1E", "TID"), SimTlv::hex("9F40", "10")}), QJsonObject());
    // The model counts anywhere; the first one depth first wins.
    const QJsonObject model = replyFields({terminalData({SimTlv::text("DF05", "inner")}), SimTlv::text("DF05", "outer")});
    EXPECT_EQ(model, (QJsonObject{{"terminalModel", "inner"}}));

    // Members already in the document stay.
    const QJsonObject document =
        translate(SimMessage::buildBody("Ri", 1), QJsonDocument(QJsonObject{{"kept", 1}}));
    EXPECT_EQ(document.value("kept").toInt(), 1);
    EXPECT_TRUE(document.value("result").isObject());
}

TEST(InformationServiceResponse, MalformedBodyThrows)
{
    EXPECT_ANY_THROW(translate(fromHex("F005E107D002")));
}

namespace {

class RecordingRequestHandler : public oxa::JsonTransactionRequestHandler {
public:
    void registerTransaction(QString action, std::unique_ptr<oxa::JsonTransactionRequest> request,
                             std::unique_ptr<oxa::JsonZUVAResponse> response, oxa::TransactionMethod method) override
    {
        actions[action.toStdString()] = method;
        ASSERT_TRUE(request);
        ASSERT_TRUE(response);
    }
    void makeTransaction(QJsonDocument, std::function<void(QJsonDocument)>,
                         std::function<QJsonDocument(QJsonDocument)>) override
    {
    }
    std::map<std::string, oxa::TransactionMethod> actions;
};

} // namespace

TEST(TransactionTable, RegistersTheInformationServiceSequentially)
{
    auto handler = std::make_shared<RecordingRequestHandler>();
    oxa::ZUVATransactionTable::registerTransactions(*handler, oxa::makeOXAEnvironment(), handler);
    ASSERT_EQ(handler->actions.count("InformationService"), 1u);
    EXPECT_EQ(handler->actions["InformationService"], oxa::Sequential);
}
