#include "TransactionsEndToEnd.h"

#include "client/transactions/AuthorizedSaleTransaction.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/SaleWithCashbackTransaction.h"
#include "client/transactions/SmartPaySaleTransaction.h"

using namespace clienttest;

TEST_F(TransactionsEndToEnd, SaleReachesTheHostOnceWithItsClientTicket)
{
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    ASSERT_EQ(sim.requests().size(), 2u);
    const SimMessage ticketRequest = requestsOfType("Cw").at(0);
    EXPECT_EQ(testsupport::toHex(ticketRequest.body), emptyTicketRequest(ticketRequest));

    const ect::SaleResult sale = results.first();
    EXPECT_EQ(errorOf(sale) + " " + sale.clientTicket() + sale.terminalIdentifier(), "none TICKET\fTERM0001");
    EXPECT_EQ(sale.authorizedAmount(), 12.5);
    const std::tm date = sale.timeStamp().value();
    EXPECT_EQ((std::vector<int>{date.tm_year, date.tm_mon, date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec}),
              (std::vector<int>{124, 2, 9, 9, 5, 7}));
    EXPECT_FALSE(results.waitFor(2, std::chrono::milliseconds(50)));
}

TEST_F(TransactionsEndToEnd, EverySaleActionIsApprovedWithItsTicket)
{
    using Sale = ect::SaleAction;
    using Authorized = ect::AuthorizedSaleAction;
    const std::pair<Sale, const char*> sales[] = {
        {Sale::Sale, "8810"}, {Sale::Reservation, "8830"}, {Sale::Refund, "8860"}, {Sale::CashAdvance, "8820"}};
    const std::pair<Authorized, const char*> authorized[] = {
        {Authorized::SaleAfterVoiceReferral, "8811"},   {Authorized::SaleAfterReservation, "8843"},
        {Authorized::CashAdvanceAfterVoiceReferral, "8822"}, {Authorized::CancelSale, "8891"},
        {Authorized::CancelReservation, "8893"},        {Authorized::CancelSaleAfterReservation, "8894"},
        {Authorized::CancelCashAdvance, "8892"}};
    for (const auto& each : sales)
        expectApprovedWithTicket(resultOf<ect::SaleResult>([&](auto done) {
            return ect::SaleTransaction(each.first, amount(), done);
        }), each.second);
    for (const auto& each : authorized) {
        const auto result = resultOf<ect::AuthorizedSaleResult>(
            [&](auto done) { return ect::AuthorizedSaleTransaction(each.first, amount(), "AB12CD", done); });
        expectApprovedWithTicket(result, each.second);
        EXPECT_EQ(result.action(), each.first);
    }
    expectApprovedWithTicket(resultOf<ect::SaleResult>([](auto done) {
        return ect::SmartPaySaleTransaction(amount(), "REF", done);
    }), "8810");
    EXPECT_EQ(valueOf(lastOfType("Cd"), "DF9462") + valueOf(lastOfType("Cd"), "DF9465"), "0301");
}

TEST_F(TransactionsEndToEnd, CashbackSaleAndLastTransactionCarryTheirIdentifierAndTicket)
{
    const auto cashback = resultOf<ect::SaleWithCashbackResult>([](auto done) {
        return ect::SaleWithCashbackTransaction(amount(), ect::Amount("5"), ect::ECTSaleSystemActionIdentifier(42ul), done);
    });
    EXPECT_EQ(cashback.saleSystemActionIdentifier().value().stringValue(), "0000002A");
    EXPECT_EQ(cashback.clientTicket(), "TICKET\f");
    EXPECT_EQ(cashback.authorizedAmount(), 17.5);

    const auto last =
        resultOf<ect::LastTransactionResult>([](auto done) { return ect::LastTransactionStatusTransaction(done); });
    EXPECT_EQ(errorOf(last) + " " + last.terminalIdentifier() + " " + last.clientTicket(), "none TERM0001 TICKET\f");
    EXPECT_EQ(requestsOfType("Ce").size() + requestsOfType("Cw").size(), 3u);
}
