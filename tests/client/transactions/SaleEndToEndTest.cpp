#include "TransactionsEndToEnd.h"

#include "client/transactions/AuthorizedSaleTransaction.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"
#include "client/transactions/SaleWithCashbackTransaction.h"
#include "client/transactions/SmartPaySaleTransaction.h"
#include "support/SimSerialTerminal.h"

#include <stdexcept>

using namespace clienttest;
using ect::DeliveryCallback;

TEST_F(TransactionsEndToEnd, SaleReachesTheHostOnceWithItsClientTicket)
{
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    ASSERT_EQ(sim.requests().size(), 2u);
    const SimMessage ticketRequest = requestsOfType("Cw").at(0);
    EXPECT_EQ(testsupport::toHex(ticketRequest.body), emptyTicketRequest(ticketRequest));

    const ect::SaleResult sale = results.first();
    EXPECT_EQ(errorText(sale.error()) + " " + sale.clientTicket() + sale.terminalIdentifier(), "ok TICKET\fTERM0001");
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
    EXPECT_EQ(errorText(last.error()) + " " + last.terminalIdentifier() + " " + last.clientTicket(), "ok TERM0001 TICKET\f");
    EXPECT_EQ(requestsOfType("Ce").size() + requestsOfType("Cw").size(), 3u);
}

TEST_F(TransactionsEndToEnd, SaleOnADisconnectedTerminalFailsInsideSend)
{
    sim.close();
    ASSERT_TRUE(listener.waitForCall("disconnected TERM0001"));
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_EQ(results.count(), 1u);
    EXPECT_EQ(errorText(results.first().error()), "2/15 reason=Terminal with id TERM0001 is not connected");
}

TEST_F(TransactionsEndToEnd, ApprovedSaleStaysApprovedWhenItsTicketDoesNotCome)
{
    // The ticket request times out after its 5 seconds, or the terminal goes away instead of answering it.
    for (const SimTerminal::Responder& ticket :
         {SimTerminal::Responder([](const SimMessage&) { return SimTerminal::silence(); }),
          SimTerminal::Responder([](const SimMessage&) { return SimTerminal::closing(); })}) {
        sim.on("Cw", ticket);
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
        ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
        EXPECT_EQ(errorText(results.first().error()) + " " + results.first().clientTicket(), "ok ");
        EXPECT_EQ(results.first().authorizedAmount(), 12.5);
        EXPECT_FALSE(results.waitFor(2, std::chrono::milliseconds(50)));
    }
}

TEST_F(TransactionsEndToEnd, DeliveryQuestionIsAnsweredAndTheFinalResultFollows)
{
    struct Case {
        const char* name;
        DeliveryCallback delivery; // empty: none given
        std::string answer;        // DF940D of "RR"
        std::string outcome;       // error and client ticket
    };
    const Case cases[] = {
        {"accepted", [](const ect::SaleResult&) { return ProductDeliveryAccepted; }, "0000", "ok TICKET\f"},
        {"refused", [](const ect::SaleResult&) { return ProductDeliveryRefused; }, "4400", "1/19 4400 "},
        {"no delivery callback", nullptr, "4400", "1/19 4400 "},
        {"throwing delivery callback",
         [](const ect::SaleResult&) -> ProductDeliveryBlockReturnValue { throw std::runtime_error("no"); }, "4400",
         "1/19 4400 "},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        std::vector<ect::SaleResult> asked;
        const DeliveryCallback recording = [&](const ect::SaleResult& question) {
            asked.push_back(question);
            return each.delivery(question);
        };
        const auto sale = resultOf<ect::SaleResult>([&](auto done) {
            return ect::SaleWithDeliveryConfirmationTransaction(amount(), done, each.delivery ? recording : nullptr);
        });
        EXPECT_EQ(valueOf(lastOfType("RR"), "DF940D"), each.answer);
        EXPECT_EQ(errorText(sale.error()) + " " + sale.clientTicket(), each.outcome);
        ASSERT_EQ(asked.size(), each.delivery ? 1u : 0u);
        if (each.delivery) {
            EXPECT_EQ(asked[0].action(), ect::SaleAction::SaleWithDeliveryConfirmation);
            EXPECT_EQ(asked[0].timeStamp()->tm_year, 124);
        }
    }
    // A plain sale transaction with that action refuses the question and awaits the end.
    const auto plain = resultOf<ect::SaleResult>(
        [](auto done) { return ect::SaleTransaction(ect::SaleAction::SaleWithDeliveryConfirmation, amount(), done); });
    EXPECT_EQ(valueOf(lastOfType("RR"), "DF940D"), "4400");
    ASSERT_TRUE(plain.error());
    EXPECT_EQ(plain.error()->extraInformationData().at("merchantText"), "NOT DELIVERED");
}

TEST_F(TransactionsEndToEnd, RefusalMentioningDeliveryIsNoQuestion)
{
    sim.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "4401", "productdelivery"));
    });
    int asked = 0;
    const auto sale = resultOf<ect::SaleResult>([&](auto done) {
        return ect::SaleWithDeliveryConfirmationTransaction(amount(), done, [&](const ect::SaleResult&) {
            ++asked;
            return ProductDeliveryAccepted;
        });
    });
    EXPECT_EQ(errorText(sale.error()), "1/19 4401");
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(requestsOfType("RR").empty());
}

TEST(SerialTerminal, SaleReachesTheHostWithItsClientTicket)
{
    testsupport::SimSerialTerminal serial;
    ASSERT_TRUE(serial.isOpen());
    serial.identifyAs("SER00001");
    serial.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, "SER00001"));
    });
    serial.on("Cw", [](const SimMessage& request) {
        return SimTerminal::answer(SimOperationReplies::ticketReplyTo(request, {"TICKET\f"}));
    });
    RecordingListener listener;
    const auto service = ect::makeSerialZUVAService(serial.portName().toStdString(), listener);
    service->startService();
    const auto terminal = listener.waitForTerminal("SER00001");
    ASSERT_NE(terminal, nullptr);

    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.5"), results.callback()));
    ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
    EXPECT_FALSE(results.first().error());
    EXPECT_EQ(results.first().clientTicket(), "TICKET\f");
    EXPECT_EQ(results.first().terminalIdentifier(), "SER00001");
    EXPECT_EQ(serial.requestCount("Cw"), 1u);
    service->stopService();
}
