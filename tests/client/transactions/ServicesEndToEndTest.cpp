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
    Results<ect::PrintTicketResult> printed;
    terminal->send(ect::PrintTicketTransaction(std::string(4096, 'A'), printed.callback()));
    ASSERT_TRUE(printed.waitFor(1));
    EXPECT_EQ(errorOf(printed.first()), "none");
    EXPECT_EQ(printed.first().terminalIdentifier(), TerminalId);
    ASSERT_EQ(requestsOfType("Cw").size(), 1u);
    EXPECT_EQ(requestsOfType("Cw")[0].find("DF17")->textValue().substr(0, 4097), std::string(4096, 'A') + "\f");

    Results<ect::PrintTicketResult> refused;
    terminal->send(ect::PrintTicketTransaction(std::string(4097, 'A'), refused.callback()));
    ASSERT_TRUE(refused.waitFor(1));
    EXPECT_EQ(errorOf(refused.first()), "1/117");
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
        Results<ect::RequestCardInfoResult> results;
        const auto option = ect::CardInfoOption::SaleAfterCardRecognition;
        terminal->send(each.first ? ect::RequestCardInfoTransaction(option, *each.first, results.callback())
                                  : ect::RequestCardInfoTransaction(option, results.callback()));
        ASSERT_TRUE(results.waitFor(1));
        EXPECT_EQ(errorOf(results.first()), each.second.empty() ? "2/15" : "none");
        const auto requests = requestsOfType("Ch");
        ASSERT_EQ(requests.size(), before + (each.second.empty() ? 0 : 1));
        if (!each.second.empty()) {
            EXPECT_EQ(valueOf(requests.back(), "DF9468"), each.second);
            EXPECT_TRUE(results.first().isIccEmv());
        }
    }
}

TEST_F(TransactionsEndToEnd, BalanceGivesTheCountersInOrder)
{
    Results<ect::BalanceTerminalConsultationResult> results;
    terminal->send(ect::BalanceTerminalConsultationTransaction("12345678", results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    const ect::BalanceTerminalConsultationResult balance = results.first();
    EXPECT_EQ(errorOf(balance), "none");
    EXPECT_EQ(balance.acquirerLabelName(), "ACQUIRER");
    const auto counters = balance.financialCounterInfo();
    ASSERT_EQ(counters.size(), 2u);
    EXPECT_EQ(counters[0].name(), "CB");
    EXPECT_EQ(counters[1].name(), "CRDA");
    EXPECT_EQ(counters[1].cumulativeTotalAmount(), 1.0);
}

TEST_F(TransactionsEndToEnd, BackupModeSwitchesAndReportsItsState)
{
    for (const bool enabled : {true, false}) {
        Results<ect::BackupModeResult> results;
        terminal->send(ect::BackupModeTransaction(enabled, results.callback()));
        ASSERT_TRUE(results.waitFor(1));
        EXPECT_EQ(errorOf(results.first()), "none");
        EXPECT_NE(results.first().timeStamp().tm_year, 0);
        EXPECT_EQ(SimOperationReplies::operationCodeOf(requestsOfType("Co").back()), enabled ? "0030" : "0031");
    }
    Results<ect::BackupModeStatusResult> status;
    terminal->send(ect::BackupModeStatusTransaction(status.callback()));
    ASSERT_TRUE(status.waitFor(1));
    EXPECT_EQ(errorOf(status.first()), "none");
    EXPECT_TRUE(status.first().enabled());
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

    Results<ect::CancelRetailResult> cancelled;
    terminal->send(ect::CancelRetailTransaction(cancelled.callback()));
    ASSERT_TRUE(cancelled.waitFor(1));
    EXPECT_EQ(errorOf(cancelled.first()), "none");
    EXPECT_EQ(sale.count(), 0u);

    sim.send(SimSaleReplies::saleReplyTo(*pendingSale, TerminalId));
    ASSERT_TRUE(sale.waitFor(1));
    EXPECT_EQ(errorOf(sale.first()), "none");
    EXPECT_EQ(sale.first().clientTicket(), "TICKET\f");
}

TEST_F(TransactionsEndToEnd, CardValidityGivesTheCheckedCard)
{
    Results<ect::CheckCardValidityResult> results;
    terminal->send(ect::CheckCardValidityTransaction(results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(errorOf(results.first()), "none");
    EXPECT_EQ(results.first().clippedPAN(), "4970XXXXXXXX1234");
    EXPECT_EQ(results.first().timeStamp().tm_year, 124);
    EXPECT_EQ(valueOf(requestsOfType("Cd").back(), "DF21"), SimSaleReplies::ValidityCheckService);
}
