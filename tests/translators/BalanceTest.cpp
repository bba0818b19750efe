#include "RetailTestKit.h"

#include "translators/JsonZUVARequestBalanceRequest.h"
#include "translators/JsonZUVARequestBalanceResponse.h"

#include <QJsonArray>

using namespace retailtest;

namespace {

QJsonObject balanceOf(const QString& action, const QJsonValue& acquirerId)
{
    return transactionDocument({{"action", action}, {"acquirerId", acquirerId}});
}

QJsonObject balanceResult(const std::vector<SimTlv>& elements)
{
    oxa::JsonZUVARequestBalanceResponse response;
    return translate(response, "Rb", elements).value("result").toObject();
}

QJsonArray countersOf(const std::vector<SimTlv>& counters)
{
    return balanceResult({element("F8", {element("FC", counters)})}).value("financialCounterInfos").toArray();
}

} // namespace

TEST(BalanceRequest, ConsultationIsExactlyTheseBytesAndEachActionHasItsCode)
{
    oxa::JsonZUVARequestBalanceRequest request(environmentWith());
    EXPECT_EQ(bodyHex(request, 5, balanceOf("BalanceTerminalConsultation", "12345678")),
              "F018E107D0024362D10105F804DF410110FA07DF680412345678");
    for (const auto& action : {std::make_pair("BalanceTerminalClosing", "01"), std::make_pair("BalanceSiteClosing", "04"),
                               std::make_pair("BalanceSiteConsultation", "40"), std::make_pair("Other", "04")}) {
        const std::string body = bodyHex(request, 1, balanceOf(action.first, "00000001"));
        EXPECT_TRUE(contains(body, std::string("DF4101") + action.second)) << action.first;
    }
}

TEST(BalanceRequest, RefusesBadAcquirersAndDocuments)
{
    oxa::JsonZUVARequestBalanceRequest request(environmentWith());
    for (const QJsonValue& acquirer : {QJsonValue("1234567"), QJsonValue("123456789"), QJsonValue("1234567A"),
                                       QJsonValue(12345678)})
        expectRefusal(request, balanceOf("BalanceTerminalConsultation", acquirer), 50, ect::ECTErrorCode::Rejected);
    EXPECT_EQ(invalidArgumentOf(request, transactionDocument({})), "Invalid JSON");
    EXPECT_EQ(invalidArgumentOf(request, transactionDocument({{"acquirerId", "12345678"}})),
              "Invalid JSON : no action defined");
    EXPECT_EQ(invalidArgumentOf(request, transactionDocument({{"action", "BalanceTerminalConsultation"}})),
              "Invalid JSON : no acquirerId defined");
}

TEST(BalanceResponse, ReadsTerminalAcquirerAndCountersInOrder)
{
    const QJsonObject result = balanceResult(
        {element("F8", {SimTlv::text("9F1C", "TERM0001"),
                        element("FC", {element("E1", {SimTlv::hex("C0", "01"), SimTlv::hex("C1", "0978"),
                                                      SimTlv::text("C2", "CRDA"), SimTlv::hex("C3", "0012"),
                                                      SimTlv::hex("C4", "0000000004D2"), SimTlv::hex("C5", "0003"),
                                                      SimTlv::hex("C7", "01FF"), SimTlv::hex("C8", "20240301080000"),
                                                      SimTlv::hex("C9", "20240302080000"), SimTlv::hex("DF5F", "1001"),
                                                      SimTlv::text("9F1C", "TERM0001")}),
                                       element("E2", {SimTlv::hex("C0", "02")})})}),
         element("FA", {SimTlv::hex("DF68", "12345678"), SimTlv::text("DF69", "ACQ")})});
    const QJsonObject first{
        {"financialCounterIdentifier", "01"}, {"financialCounterLabelName", "CRDA"},
        {"financialCounterNumberOfTransactions", 12}, {"financialCounterPeriodNumber", "0003"},
        {"financialCounterCardBrandIdentifier", "1001"}, {"financialCounterTerminalIdentifier", "TERM0001"},
        {"financialCounterPeriodOpeningDate", "2024-03-01-08-00-00"},
        {"financialCounterPeriodClosingDate", "2024-03-02-08-00-00"},
        {"financialCounterAccountedServices", "0000000111111111"}, {"financialCounterCurrency", "EUR"},
        {"financialCounterCumulativeTotalAmount", 12.34}};
    const QJsonObject second{{"financialCounterIdentifier", "02"}, {"financialCounterAccountedServices", ""}};
    EXPECT_EQ(result, (QJsonObject{{"terminalIdentifier", "TERM0001"}, {"acquirerIdentifier", "12345678"},
                                   {"acquirerLabelName", "ACQ"}, {"financialCounterInfos", QJsonArray{first, second}}}));
}

TEST(BalanceResponse, CurrencyRuleDecidesTheTotal)
{
    const QJsonArray counters = countersOf({
        element("E1", {SimTlv::hex("C1", "0978")}),
        element("E1", {SimTlv::hex("C1", "0999"), SimTlv::hex("C4", "000000000100")}),
        element("E1", {SimTlv::hex("C4", "000000000100")}),
    });
    ASSERT_EQ(counters.size(), 3);
    const auto currencyAndTotal = [](const QJsonValue& counter) {
        const QJsonObject object = counter.toObject();
        return std::make_pair(object.value("financialCounterCurrency"), object.value("financialCounterCumulativeTotalAmount"));
    };
    EXPECT_EQ(currencyAndTotal(counters[0]), std::make_pair(QJsonValue("EUR"), QJsonValue(0)));
    EXPECT_EQ(currencyAndTotal(counters[1]), std::make_pair(QJsonValue(""), QJsonValue(0)));
    EXPECT_EQ(currencyAndTotal(counters[2]), std::make_pair(QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonValue::Undefined)));
}

