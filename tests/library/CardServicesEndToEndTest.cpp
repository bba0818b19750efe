#include "RetailFixture.h"

using namespace saletest;

TEST_F(RetailEndToEnd, CardServicesAndBalanceRunThrough)
{
    const QJsonObject cardType{{"type", "20"}, {"isContactless", false}, {"isMagneticStripe", false},
                               {"isIccEmv", true}, {"isIccNonEmv", false}, {"isBarCode", false},
                               {"isManualEntry", false}, {"isSynchronousChip", false}, {"isAsynchronousChip", false}};
    const QJsonObject firstCounter{{"financialCounterIdentifier", "01"},
                                   {"financialCounterLabelName", "CB"},
                                   {"financialCounterNumberOfTransactions", 12},
                                   {"financialCounterAccountedServices", "0000000111111111"},
                                   {"financialCounterCurrency", "EUR"},
                                   {"financialCounterCumulativeTotalAmount", 12.34}};
    const QJsonObject secondCounter{{"financialCounterIdentifier", "02"},
                                    {"financialCounterLabelName", "CRDA"},
                                    {"financialCounterNumberOfTransactions", 3},
                                    {"financialCounterAccountedServices", "0000000111111111"},
                                    {"financialCounterCurrency", "EUR"},
                                    {"financialCounterCumulativeTotalAmount", 1.0}};
    const struct {
        const char* name;
        QJsonObject transaction;
        const char* requestType;
        const char* destination;
        QJsonObject expected;
    } cases[] = {
        {"card recognition",
         {{"action", "RequestCardInfo"}, {"recognitionTimeout", 20}},
         "Ch",
         "000A",
         {{"cardToken", "0A0B0C0D"},
          {"cardType", cardType},
          {"cardBrandIdentifier", "1001"},
          {"cardBrandName", "CB"},
          {"clippedPAN", "497000FFFFFF1234"}}},
        {"card validity check",
         {{"action", "CheckCardValidity"}},
         "Cd",
         "000A",
         {{"cardBrandIdentifier", "1001"},
          {"cardBrandName", "CB"},
          {"date", "2024-03-09-09-05-07"},
          {"clippedPAN", "4970XXXXXXXX1234"}}},
        {"balance",
         {{"action", "BalanceTerminalConsultation"}, {"acquirerId", "12345678"}},
         "Cb",
         "0002",
         {{"terminalIdentifier", Terminal},
          {"acquirerIdentifier", "12345678"},
          {"acquirerLabelName", "ACQUIRER"},
          {"financialCounterInfos", QJsonArray{firstCounter, secondCounter}}}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const auto transaction = send(each.transaction);
        EXPECT_EQ(transaction->result(), (QJsonObject{{"result", each.expected}}));
        const std::vector<SimMessage> requests = requestsOfType(each.requestType);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(testsupport::toHex(requests.back().destination()), each.destination);
    }
    EXPECT_EQ(valueOf(requestsOfType("Ch").front(), "DF9468"), "0020");
    EXPECT_EQ(valueOf(requestsOfType("Cd").front(), "DF21"), "8850");
}

TEST_F(RetailEndToEnd, CardServiceRefusalsAndUnreadableReplies)
{
    terminal.on("Ch", [](const SimMessage& request) {
        return SimTerminal::answer(SimMessage::frame(SimMessage::buildBody(
            "Rh", request.sequence, {SimTlv::constructed(testsupport::fromHex("BF8104"), {SimTlv::hex("DF9460", "5A")})})));
    });
    const struct {
        const char* name;
        QJsonObject transaction;
        int code;
        int cause;
    } cases[] = {
        {"unreadable recognition reply", {{"action", "RequestCardInfo"}}, 2, 16},
        {"recognition time-out too long", {{"action", "RequestCardInfo"}, {"recognitionTimeout", 10000}}, 2, 15},
        {"negative validity time-out", {{"action", "CheckCardValidity"}, {"recognitionTimeout", -3}}, 2, 15},
        {"acquirer of 7 digits", {{"action", "BalanceTerminalConsultation"}, {"acquirerId", "1234567"}}, 1, 50},
        {"balance without acquirer", {{"action", "BalanceTerminalConsultation"}}, 2, 15},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const ErrorSummary error = errorOf(send(each.transaction)->result());
        EXPECT_EQ(error.code, each.code);
        EXPECT_EQ(error.cause, each.cause);
    }
    EXPECT_EQ(terminal.requests().size(), 1u);
}
