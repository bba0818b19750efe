#include "TransactionsEndToEnd.h"

#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"

#include <stdexcept>

using namespace clienttest;
using ect::DeliveryCallback;

namespace {

SimTerminal::Responder incident(const char* code, const char* merchantText)
{
    return [=](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, code, merchantText));
    };
}

const SimTerminal::Responder silent = [](const SimMessage&) { return SimTerminal::silence(); };

} // namespace

TEST_F(TransactionsEndToEnd, FailedSaleReachesTheHostOnceWithoutTicketRequest)
{
    struct Case {
        const char* name;
        SimTerminal::Responder terminalAnswer;
        bool resetByHost;
        std::string error; // and merchant text
    };
    const Case cases[] = {
        {"rejection",
         [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::rejectionOf(request, "0A")); },
         false, "1/20 "},
        {"incident", incident("4401", "CARD REFUSED"), false, "1/19 CARD REFUSED"},
        {"reset", silent, true, "2/30 "},
        {"unreadable reply",
         [](const SimMessage& request) {
             return SimTerminal::answer(
                 SimMessage::frame(SimMessage::buildBody("Rd", request.sequence, {SimTlv::hex("DF9460", "DF13")})));
         },
         false, "2/16 "},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const std::size_t before = sim.requests().size();
        sim.on("Cd", each.terminalAnswer);
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
        if (each.resetByHost) {
            ASSERT_TRUE(sim.waitForRequests(before + 1));
            terminal->resetTransaction();
        }
        ASSERT_TRUE(results.waitFor(1) && results.first().error());
        const auto extras = results.first().error()->extraInformationData();
        EXPECT_EQ(errorOf(results.first()) + " " + (extras.count("merchantText") ? extras.at("merchantText") : ""),
                  each.error);
        EXPECT_TRUE(requestsOfType("Cw").empty());
    }
}

TEST_F(TransactionsEndToEnd, SaleOnADisconnectedTerminalFailsInsideSend)
{
    sim.close();
    ASSERT_TRUE(listener.waitForCall("disconnected TERM0001"));
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_EQ(results.count(), 1u);
    EXPECT_EQ(errorOf(results.first()), "2/15");
}

TEST_F(TransactionsEndToEnd, ApprovedSaleStaysApprovedWhenItsTicketDoesNotCome)
{
    // The ticket request times out after its 5 seconds, or the terminal goes away instead of answering it.
    for (const SimTerminal::Responder& ticket : {silent, SimTerminal::Responder([](const SimMessage&) {
                                                     return SimTerminal::closing();
                                                 })}) {
        sim.on("Cw", ticket);
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
        ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
        EXPECT_EQ(errorOf(results.first()) + " " + results.first().clientTicket(), "none ");
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
        {"accepted", [](const ect::SaleResult&) { return ProductDeliveryAccepted; }, "0000", "none TICKET\f"},
        {"refused", [](const ect::SaleResult&) { return ProductDeliveryRefused; }, "4400", "1/19 "},
        {"no delivery callback", nullptr, "4400", "1/19 "},
        {"throwing delivery callback",
         [](const ect::SaleResult&) -> ProductDeliveryBlockReturnValue { throw std::runtime_error("no"); }, "4400",
         "1/19 "},
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
        EXPECT_EQ(errorOf(sale) + " " + sale.clientTicket(), each.outcome);
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
    sim.on("Cd", incident("4401", "productdelivery"));
    int asked = 0;
    const auto sale = resultOf<ect::SaleResult>([&](auto done) {
        return ect::SaleWithDeliveryConfirmationTransaction(amount(), done, [&](const ect::SaleResult&) {
            ++asked;
            return ProductDeliveryAccepted;
        });
    });
    EXPECT_EQ(errorOf(sale), "1/19");
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(requestsOfType("RR").empty());
}
