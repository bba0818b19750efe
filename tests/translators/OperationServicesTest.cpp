#include "RetailTestKit.h"

#include "translators/JsonZUVABackupModeChangeRequest.h"
#include "translators/JsonZUVABackupModeStatusRequest.h"
#include "translators/JsonZUVABackupModeStatusResponse.h"
#include "translators/JsonZUVARetailCancelRequest.h"
#include "translators/JsonZUVAServiceRequest.h"
#include "translators/ZUVATransactionTable.h"

#include <map>
#include <memory>
#include <string>

using namespace retailtest;

namespace {

// BF8104 { BF8105 { EF { DF9015 01, DF5F brand, DF900F 0035 } } } with the default brand.
const std::string DefaultBrand = "BF810416BF810512EF10DF90150101DF5F021234DF900F020035";

std::string backupBody(const std::string& code)
{
    return "F02DE107D002436FD10107BF811606DF94660200" + code + DefaultBrand;
}

QJsonObject statusReply(const std::vector<SimTlv>& elements)
{
    return resultOf(oxa::JsonZUVABackupModeStatusResponse(), "Ro", elements);
}

SimTlv privateData(const std::vector<SimTlv>& held)
{
    return element("BF8104", {holding("DF9460", held)});
}

} // namespace

// The identifier is sent only when given; an unusable one is refused, never sent empty.
TEST(OperationRequests, RetailCancelAndUnusableIdentifiers)
{
    const std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    oxa::JsonZUVARetailCancelRequest cancel(environment);
    EXPECT_EQ(bodyHex(cancel, 7, transactionDocument({{"saleSystemActionIdentifier", "0000002A"}})),
              "F01BE107D002436FD10107BF81160EDF9464040000002ADF9466020040");
    EXPECT_EQ(bodyHex(cancel, 7, transactionDocument({{"action", "CancelRetail"}, {"amount", "12.00"}})),
              "F013E107D002436FD10107BF811606DF9466020040");
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
    EXPECT_EQ(statusReply({privateData({SimTlv::text("DF9405", "1")})}), (QJsonObject{{"enabled", true}}));
    EXPECT_EQ(statusReply({privateData({SimTlv::hex("DF9405", "3031")})}), (QJsonObject{{"enabled", false}}));
    const std::vector<std::vector<SimTlv>> withoutState{
        {}, {privateData({SimTlv::text("DF13", "x")})}, {holding("DF9460", {SimTlv::text("DF9405", "1")})}};
    for (const auto& elements : withoutState)
        EXPECT_THROW(statusReply(elements), std::invalid_argument);
}

namespace {

class CapturingRequestHandler : public oxa::JsonTransactionRequestHandler {
public:
    void registerTransaction(QString action, std::unique_ptr<oxa::JsonTransactionRequest> request,
                             std::unique_ptr<oxa::JsonZUVAResponse> response, oxa::TransactionMethod method) override
    {
        const auto* serviceRequest = dynamic_cast<oxa::JsonZUVAServiceRequest*>(request.get());
        ASSERT_NE(serviceRequest, nullptr) << action.toStdString();
        rows[action.toStdString()] = serviceRequest->messageTypeId().toStdString()
                                     + serviceRequest->getDestinationCode().stringValue() + " "
                                     + std::to_string(serviceRequest->getTransactionTimeout().count()) + " "
                                     + std::to_string(method) + " " + response->getMessageTypeId().toStdString();
    }
    void makeTransaction(QJsonDocument, std::function<void(QJsonDocument)>&&,
                         std::function<QJsonDocument(QJsonDocument)>&&) override
    {
    }

    std::map<std::string, std::string> rows;
};

} // namespace

// Type, destination, time-out, way of queueing and reply type of a service per kind.
TEST(TransactionTable, RegistersTheInformationOperationAndDisplayServices)
{
    auto handler = std::make_shared<CapturingRequestHandler>();
    oxa::ZUVATransactionTable::registerTransactions(*handler, oxa::makeOXAEnvironment(), handler);
    const std::map<std::string, std::string> expected{
        {"BalanceTerminalConsultation", "Cb0002 45 " + std::to_string(oxa::Sequential) + " Rb"},
        {"InformationService", "Ci000F 5 " + std::to_string(oxa::Sequential) + " Ri"},
        {"MMIClose", "Cl0005 180 " + std::to_string(oxa::ImmediateClearQueue) + " Rl"},
        {"MMITransaction", "Cm0005 180 " + std::to_string(oxa::Sequential) + " Rm"},
        {"CancelRetail", "Co000A 60 " + std::to_string(oxa::ImmediateQueue) + " Ro"},
    };
    for (const auto& row : expected)
        EXPECT_EQ(handler->rows[row.first], row.second) << row.first;
}
