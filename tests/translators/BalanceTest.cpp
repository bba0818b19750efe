#include "RetailTestKit.h"

#include "translators/JsonZUVARequestBalanceRequest.h"
#include "translators/JsonZUVARequestBalanceResponse.h"

#include "tests/support/QtWarnings.h"

#include <QJsonArray>

using namespace retailtest;

namespace {

QJsonObject balanceOf(const QString& action, const QJsonValue& acquirerId)
{
    return transactionDocument({{"action", action}, {"acquirerId", acquirerId}});
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
    for (const QJsonValue& acquirer :
         {QJsonValue("1234567"), QJsonValue("1234567A"), QJsonValue(12345678), QJsonValue(QJsonValue::Null)})
        expectRefusal(request, balanceOf("BalanceTerminalConsultation", acquirer), 50, ect::ECTErrorCode::Rejected);
}

TEST(BalanceResponse, ReadsTerminalAcquirerAndCountersInOrder)
{
    const QJsonObject result = resultOf(
        oxa::JsonZUVARequestBalanceResponse(), "Rb",
        {element("F8", {SimTlv::text("9F1C", "TERM0001"),
                        element("FC", {element("E1", {SimTlv::hex("C0", "01"), SimTlv::hex("C1", "0978"),
                                                      SimTlv::text("C2", "CRDA"), SimTlv::hex("C3", "0012"),
                                                      SimTlv::hex("C4", "0000000004D2"), SimTlv::hex("C5", "0003"),
                                                      SimTlv::hex("C7", "01FF"), SimTlv::hex("C8", "20240301080000"),
                                                      SimTlv::hex("C9", "20240302080000"), SimTlv::hex("DF5F", "1001"),
                                                      SimTlv::text("9F1C", "TERM0001")}),
                                       element("E2", {SimTlv::hex("C0", "02"), SimTlv::hex("C1", "0999"),
                                                      SimTlv::hex("C4", "000000000100")})})}),
         element("FA", {SimTlv::hex("DF68", "12345678"), SimTlv::text("DF69", "ACQ")})});
    const QJsonObject first{
        {"financialCounterIdentifier", "01"}, {"financialCounterLabelName", "CRDA"},
        {"financialCounterNumberOfTransactions", 12}, {"financialCounterPeriodNumber", "0003"},
        {"financialCounterCardBrandIdentifier", "1001"}, {"financialCounterTerminalIdentifier", "TERM0001"},
        {"financialCounterPeriodOpeningDate", "2024-03-01-08-00-00"},
        {"financialCounterPeriodClosingDate", "2024-03-02-08-00-00"},
        {"financialCounterAccountedServices", "0000000111111111"}, {"financialCounterCurrency", "EUR"},
        {"financialCounterCumulativeTotalAmount", 12.34}};
    // An unknown currency is left out and its total read with two decimals.
    const QJsonObject second{{"financialCounterIdentifier", "02"}, {"financialCounterCumulativeTotalAmount", 2.56}};
    EXPECT_EQ(result, (QJsonObject{{"terminalIdentifier", "TERM0001"}, {"acquirerIdentifier", "12345678"},
                                   {"acquirerLabelName", "ACQ"}, {"financialCounterInfos", QJsonArray{first, second}}}));
}

// Each key only when the terminal sent a value the library can read; what it
// cannot is left out with a warning naming it, never given as 0 or "".
TEST(BalanceResponse, EachCounterKeyOnlyWhenTheTerminalSentItsValue)
{
    const struct {
        std::vector<SimTlv> counter;
        QJsonObject read;
        const char* warned; // "": none
    } rows[] = {
        {{SimTlv::hex("C1", "0978")}, {{"financialCounterCurrency", "EUR"}}, ""},
        {{SimTlv::hex("C1", "0978"), SimTlv::hex("C4", "")}, {{"financialCounterCurrency", "EUR"}},
         "financialCounterCumulativeTotalAmount"},
        {{SimTlv::hex("C1", "0978"), SimTlv::hex("C4", "010000000000000000")}, {{"financialCounterCurrency", "EUR"}},
         "financialCounterCumulativeTotalAmount"},
        {{SimTlv::hex("C1", "0999"), SimTlv::hex("C4", "04D2")}, {{"financialCounterCumulativeTotalAmount", 12.34}},
         "financialCounterCurrency"},
        {{SimTlv::hex("C1", "0999")}, {}, "financialCounterCurrency"},
        {{SimTlv::hex("C4", "04D2")}, {}, ""},
        {{SimTlv::hex("C3", "0012")}, {{"financialCounterNumberOfTransactions", 12}}, ""},
        {{SimTlv::hex("C3", "001A")}, {}, "financialCounterNumberOfTransactions"},
        {{SimTlv::hex("C3", "")}, {}, "financialCounterNumberOfTransactions"},
        {{SimTlv::hex("C7", "")}, {{"financialCounterAccountedServices", ""}}, ""},
    };
    for (const auto& row : rows) {
        testsupport::QtWarnings warnings;
        const QJsonObject result = resultOf(oxa::JsonZUVARequestBalanceResponse(), "Rb",
                                            {element("F8", {element("FC", {element("E1", row.counter)})})});
        EXPECT_EQ(result.value("financialCounterInfos").toArray().at(0).toObject(), row.read) << warnings.text().toStdString();
        if (*row.warned)
            EXPECT_TRUE(warnings.text().contains(row.warned)) << row.warned;
        else
            EXPECT_TRUE(warnings.text().isEmpty()) << warnings.text().toStdString();
    }
}
