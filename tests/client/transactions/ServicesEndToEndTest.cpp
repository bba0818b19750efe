#include "TransactionsEndToEnd.h"

#include "client/transactions/BackupModeStatusTransaction.h"
#include "client/transactions/BackupModeTransaction.h"
#include "client/transactions/BalanceTerminalConsultationTransaction.h"
#include "client/transactions/CancelRetailTransaction.h"
#include "client/transactions/CheckCardValidityTransaction.h"
#include "client/transactions/PrintTicketTransaction.h"
#include "client/transactions/RequestCardInfoTransaction.h"

using namespace clienttest;

TEST_F(TransactionsEndToEnd, PrintTicketSendsUpToItsLimit)
{
    const auto printed = resultOf<ect::PrintTicketResult>(
        [](auto done) { return ect::PrintTicketTransaction(std::string(4096, 'A'), done); });
    EXPECT_EQ(errorText(printed.error()) + " " + printed.terminalIdentifier(), "ok TERM0001");
    ASSERT_EQ(requestsOfType("Cw").size(), 1u);
    EXPECT_EQ(requestsOfType("Cw")[0].find("DF17")->textValue().substr(0, 4097), std::string(4096, 'A') + "\f");

    const auto refused = resultOf<ect::PrintTicketResult>(
        [](auto done) { return ect::PrintTicketTransaction(std::string(4097, 'A'), done); });
    EXPECT_EQ(errorText(refused.error()), "1/117");
    EXPECT_EQ(requestsOfType("Cw").size(), 1u);
}

TEST_F(TransactionsEndToEnd, CardInformationTakesItsRecognitionTimeout)
{
    using Seconds = std::chrono::seconds;
    const std::pair<boost::optional<Seconds>, std::string> cases[] = {
        {Seconds(20), "0020"},
        {boost::none, "0045"}, // the setting
        {Seconds((std::int64_t(1) << 32) + 20), ""}, // refused whole, not cut to 20 seconds
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.second);
        const std::size_t before = requestsOfType("Ch").size();
        const auto option = ect::CardInfoOption::SaleAfterCardRecognition;
        const auto card = resultOf<ect::RequestCardInfoResult>([&](auto done) {
            return each.first ? ect::RequestCardInfoTransaction(option, *each.first, done)
                              : ect::RequestCardInfoTransaction(option, done);
        });
        EXPECT_EQ(errorText(card.error()), each.second.empty() ? "2/15 reason=recognitionTimeout is out of range "
                                                                 "(0 to 9999 seconds): 4294967316"
                                                               : "ok");
        const auto requests = requestsOfType("Ch");
        ASSERT_EQ(requests.size(), before + (each.second.empty() ? 0 : 1));
        if (!each.second.empty()) {
            EXPECT_EQ(valueOf(requests.back(), "DF9468"), each.second);
            EXPECT_TRUE(card.isIccEmv());
        }
    }
}

TEST_F(TransactionsEndToEnd, BalanceBackupModeAndCardValidityGiveTheirResults)
{
    const auto balance = resultOf<ect::BalanceTerminalConsultationResult>(
        [](auto done) { return ect::BalanceTerminalConsultationTransaction("12345678", done); });
    EXPECT_EQ(errorText(balance.error()) + " " + balance.acquirerLabelName(), "ok ACQUIRER");
    const auto counters = balance.financialCounterInfo();
    ASSERT_EQ(counters.size(), 2u);
    EXPECT_EQ(counters[0].name() + " " + counters[1].name(), "CB CRDA");
    EXPECT_EQ(counters[1].cumulativeTotalAmount(), 1.0);

    for (const bool enabled : {true, false}) {
        const auto backup =
            resultOf<ect::BackupModeResult>([&](auto done) { return ect::BackupModeTransaction(enabled, done); });
        EXPECT_EQ(errorText(backup.error()), "ok");
        EXPECT_EQ(SimOperationReplies::operationCodeOf(lastOfType("Co")), enabled ? "0030" : "0031");
    }
    const auto status =
        resultOf<ect::BackupModeStatusResult>([](auto done) { return ect::BackupModeStatusTransaction(done); });
    EXPECT_EQ(errorText(status.error()), "ok");
    EXPECT_TRUE(status.enabled());

    const auto card =
        resultOf<ect::CheckCardValidityResult>([](auto done) { return ect::CheckCardValidityTransaction(done); });
    EXPECT_EQ(errorText(card.error()) + " " + card.clippedPAN(), "ok 4970XXXXXXXX1234");
    EXPECT_EQ(card.timeStamp().tm_year, 124);
    EXPECT_EQ(valueOf(lastOfType("Cd"), "DF21"), SimSaleReplies::ValidityCheckService);
}

TEST_F(TransactionsEndToEnd, RetailCancellationDuringASaleLeavesTheSaleItsReply)
{
    auto pendingSale = std::make_shared<SimMessage>();
    sim.on("Cd", [pendingSale](const SimMessage& request) {
        *pendingSale = request;
        return SimTerminal::silence();
    });
    Results<ect::SaleResult> sale;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), sale.callback()));
    ASSERT_TRUE(sim.waitForRequests(1));

    const auto cancelled =
        resultOf<ect::CancelRetailResult>([](auto done) { return ect::CancelRetailTransaction(done); });
    EXPECT_EQ(errorText(cancelled.error()), "ok");
    EXPECT_EQ(sale.count(), 0u);

    sim.send(SimSaleReplies::saleReplyTo(*pendingSale, TerminalId));
    ASSERT_TRUE(sale.waitFor(1));
    EXPECT_EQ(errorText(sale.first().error()) + " " + sale.first().clientTicket(), "ok TICKET\f");
}
