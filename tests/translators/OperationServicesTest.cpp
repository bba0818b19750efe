#include "RetailTestKit.h"

#include "translators/JsonZUVABackupModeChangeRequest.h"
#include "translators/JsonZUVABackupModeChangeResponse.h"
#include "translators/JsonZUVABackupModeStatusRequest.h"
#include "translators/JsonZUVABackupModeStatusResponse.h"
#include "translators/JsonZUVARetailCancelRequest.h"
#include "translators/JsonZUVARetailCancelResponse.h"
#include "translators/JsonZUVAServiceRequest.h"
#include "translators/ZUVATransactionTable.h"

#include <map>
#include <memory>
#include <string>

using namespace retailtest;

namespace {

const std::string CancelWithIdentifier = "F01BE107D002436FD10107BF81160EDF946404" "0000002A" "DF9466020040";
const std::string CancelWithoutIdentifier = "F013E107D002436FD10107BF811606DF9466020040";
// BF8104 { BF8105 { EF { DF9015 01, DF5F brand, DF900F 0035 } } } with the default brand.
const std::string DefaultBrand = "BF810416BF810512EF10DF90150101DF5F021234DF900F020035";

std::string backupBody(const std::string& code)
{
    return "F02DE107D002436FD10107BF811606DF94660200" + code + DefaultBrand;
}

QJsonObject statusReply(const std::vector<SimTlv>& elements)
{
    oxa::JsonZUVABackupModeStatusResponse response;
    return translate(response, "Ro", elements);
}

SimTlv privateData(const std::vector<SimTlv>& held)
{
    return element("BF8104", {holding("DF9460", held)});
}

} // namespace

TEST(RetailCancelRequest, IdentifierIsSentOnlyWhenGiven)
{
    oxa::JsonZUVARetailCancelRequest request(oxa::makeOXAEnvironment());
    EXPECT_EQ(bodyHex(request, 7,
                      transactionDocument({{"action", "CancelRetail"}, {"saleSystemActionIdentifier", "0000002A"}})),
              CancelWithIdentifier);
    EXPECT_EQ(bodyHex(request, 7, transactionDocument({{"action", "CancelRetail"}, {"amount", "12.00"}})),
              CancelWithoutIdentifier);
}

TEST(OperationRequests, UnusableIdentifiersAreRefusedNeverSentEmpty)
{
    const std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    oxa::JsonZUVARetailCancelRequest cancel(environment);
    oxa::JsonZUVABackupModeChangeRequest change(environment);
    oxa::JsonZUVABackupModeStatusRequest status(environment);
    for (oxa::JsonTransactionRequest* request : std::vector<oxa::JsonTransactionRequest*>{&cancel, &change, &status}) {
        for (const QJsonValue& bad : {QJsonValue(42), QJsonValue("0000002G")})
            expectRefusal(*request, transactionDocument({{"saleSystemActionIdentifier", bad}}));
        // Well-formed but not the identifier's 4 bytes: refused as the identifier refuses it.
        expectRefusal(*request, transactionDocument({{"saleSystemActionIdentifier", ""}}), 51);
    }
}

TEST(BackupModeRequest, OperationCodeFollowsTheActionAndOnlyAJsonTrue)
{
    const std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    oxa::JsonZUVABackupModeChangeRequest change(environment);
    oxa::JsonZUVABackupModeStatusRequest status(environment);
    EXPECT_EQ(bodyHex(change, 7, transactionDocument({{"enabled", true}, {"saleSystemActionIdentifier", "0000002A"}})),
              "F035E107D002436FD10107BF81160EDF9464040000002ADF9466020030" + DefaultBrand);
    for (const QJsonValue& off : {QJsonValue(false), QJsonValue("true"), QJsonValue(QJsonValue::Undefined)})
        EXPECT_EQ(bodyHex(change, 7, transactionDocument({{"enabled", off}})), backupBody("31"));
    EXPECT_EQ(bodyHex(status, 7, transactionDocument({{"action", "BackupModeStatus"}, {"enabled", true}})),
              backupBody("32"));
    EXPECT_TRUE(contains(bodyHex(change, 7, transactionDocument({{"cardBrandIdentifier", "123"}})),
                         "DF90150101DF5F020123DF900F020035"));
    expectRefusal(change, transactionDocument({{"cardBrandIdentifier", "12AB"}}));
}

// A reply without the state would otherwise read as "backup mode off".
TEST(BackupModeStatusResponse, EnabledOnlyForTheText1AndNoResultWithoutTheState)
{
    QJsonDocument worked;
    oxa::JsonZUVABackupModeStatusResponse().handleResponse(
        bytesOf(fromHex("F016E107D002436FD10107BF810409DF946005DF94050131")), worked, {});
    EXPECT_EQ(worked.object(), (QJsonObject{{"result", QJsonObject{{"enabled", true}}}}));
    EXPECT_EQ(statusReply({privateData({SimTlv::hex("DF9405", "3031")})}),
              (QJsonObject{{"result", QJsonObject{{"enabled", false}}}}));
    const std::vector<std::vector<SimTlv>> withoutState{
        {}, {privateData({SimTlv::text("DF13", "x")})}, {holding("DF9460", {SimTlv::text("DF9405", "1")})}};
    for (const auto& elements : withoutState)
        EXPECT_THROW(statusReply(elements), std::invalid_argument);
}

namespace {

class CapturingRequestHandler : public oxa::JsonTransactionRequestHandler {
public:
    struct Row {
        std::shared_ptr<oxa::JsonTransactionRequest> request;
        std::shared_ptr<oxa::JsonZUVAResponse> response;
        oxa::TransactionMethod method;
    };

    void registerTransaction(QString action, std::unique_ptr<oxa::JsonTransactionRequest> request,
                             std::unique_ptr<oxa::JsonZUVAResponse> response, oxa::TransactionMethod method) override
    {
        rows[action.toStdString()] = Row{std::move(request), std::move(response), method};
    }
    void makeTransaction(QJsonDocument, std::function<void(QJsonDocument)>,
                         std::function<QJsonDocument(QJsonDocument)>) override
    {
    }

    std::map<std::string, Row> rows;
};

} // namespace

// A row per kind of service and per way of queueing.
TEST(TransactionTable, RegistersTheInformationOperationTicketAndDisplayServices)
{
    struct Expected {
        const char* action;
        const char* requestType;
        const char* destination;
        int timeout;
        oxa::TransactionMethod method;
        const char* replyType;
    };
    const Expected table[] = {
        {"InformationService", "Ci", "000F", 5, oxa::Sequential, "Ri"},
        {"MMIClose", "Cl", "0005", 180, oxa::ImmediateClearQueue, "Rl"},
        {"MMITransaction", "Cm", "0005", 180, oxa::Sequential, "Rm"},
        {"CancelRetail", "Co", "000A", 60, oxa::ImmediateQueue, "Ro"},
    };
    auto handler = std::make_shared<CapturingRequestHandler>();
    oxa::ZUVATransactionTable::registerTransactions(*handler, oxa::makeOXAEnvironment(), handler);
    for (const Expected& row : table) {
        ASSERT_EQ(handler->rows.count(row.action), 1u) << row.action;
        const CapturingRequestHandler::Row& registered = handler->rows[row.action];
        const auto* request = dynamic_cast<oxa::JsonZUVAServiceRequest*>(registered.request.get());
        ASSERT_NE(request, nullptr) << row.action;
        EXPECT_EQ(request->messageTypeId(), row.requestType) << row.action;
        EXPECT_EQ(request->getDestinationCode().stringValue(), row.destination) << row.action;
        EXPECT_EQ(request->getTransactionTimeout(), std::chrono::seconds(row.timeout)) << row.action;
        EXPECT_EQ(registered.method, row.method) << row.action;
        EXPECT_EQ(registered.response->getMessageTypeId(), row.replyType) << row.action;
    }
}
