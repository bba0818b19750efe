#include "TransactionsEndToEnd.h"

#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"

#include <stdexcept>

using namespace clienttest;
using ect::DeliveryCallback;

namespace {

const SimTerminal::Responder rejecting = [](const SimMessage& request) {
    return SimTerminal::answer(SimTerminal::rejectionOf(request, "0A"));
};
const SimTerminal::Responder refusing = [](const SimMessage& request) {
    return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "4401", "CARD REFUSED"));
};
const SimTerminal::Responder unreadable = [](const SimMessage& request) {
    return SimTerminal::answer(
        SimMessage::frame(SimMessage::buildBody("Rd", request.sequence, {SimTlv::hex("DF9460", "DF13")})));
};
const SimTerminal::Responder silent = [](const SimMessage&) { return SimTerminal::silence(); };

ProductDeliveryBlockReturnValue accept(const ect::SaleResult&)
{
    return ProductDeliveryAccepted;
}

} // namespace

TEST_F(TransactionsEndToEnd, FailedSaleReachesTheHostOnceWithoutTicketRequest)
{
    struct Case {
        const char* name;
        SimTerminal::Responder terminalAnswer;
        bool resetByHost;
        std::string error;
        std::string merchantText;
    };
    const Case cases[] = {
        {"rejection", rejecting, false, "1/20", ""},
        {"incident", refusing, false, "1/19", "CARD REFUSED"},
        {"reset", silent, true, "2/30", ""},
        {"unreadable reply", unreadable, false, "2/16", ""},
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
        ASSERT_TRUE(results.waitFor(1));
        EXPECT_EQ(errorOf(results.first()), each.error);
        const auto extras = results.first().error()->extraInformationData();
        EXPECT_EQ(extras.count("merchantText") ? extras.at("merchantText") : "", each.merchantText);
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
    struct Case {
        const char* name;
        SimTerminal::Responder cw;
    };
    const Case cases[] = {
        // The ticket request times out after its 5 seconds.
        {"silent ticket request", silent},
        // The terminal goes away instead of answering the ticket request.
        {"connection closed", [](const SimMessage&) { return SimTerminal::closing(); }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        sim.on("Cw", each.cw);
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
        ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
        EXPECT_EQ(errorOf(results.first()), "none");
        EXPECT_EQ(results.first().clientTicket(), "");
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
    const DeliveryCallback throwing = [](const ect::SaleResult&) -> ProductDeliveryBlockReturnValue {
        throw std::runtime_error("no");
    };
    const Case cases[] = {
        {"accepted", &accept, "0000", "none TICKET\f"},
        {"refused", [](const ect::SaleResult&) { return ProductDeliveryRefused; }, "4400", "1/19 "},
        {"no delivery callback", nullptr, "4400", "1/19 "},
        {"throwing delivery callback", throwing, "4400", "1/19 "},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        std::vector<ect::SaleResult> asked;
        const DeliveryCallback recording = [&](const ect::SaleResult& question) {
            asked.push_back(question);
            return each.delivery(question);
        };
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleWithDeliveryConfirmationTransaction(amount(), results.callback(),
                                                                    each.delivery ? recording : nullptr));
        ASSERT_TRUE(results.waitFor(1));
        EXPECT_EQ(valueOf(requestsOfType("RR").back(), "DF940D"), each.answer);
        EXPECT_EQ(errorOf(results.first()) + " " + results.first().clientTicket(), each.outcome);
        ASSERT_EQ(asked.size(), each.delivery ? 1u : 0u);
        if (each.delivery) {
            EXPECT_EQ(asked[0].action(), ect::SaleAction::SaleWithDeliveryConfirmation);
            EXPECT_EQ(asked[0].timeStamp()->tm_year, 124);
        }
    }
    // A plain sale transaction with that action refuses the question and awaits the end.
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::SaleWithDeliveryConfirmation, amount(), results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(valueOf(requestsOfType("RR").back(), "DF940D"), "4400");
    EXPECT_EQ(results.first().error()->extraInformationData().at("merchantText"), "NOT DELIVERED");
}

TEST_F(TransactionsEndToEnd, RefusalMentioningDeliveryIsNoQuestion)
{
    sim.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "4401", "productdelivery"));
    });
    int asked = 0;
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleWithDeliveryConfirmationTransaction(amount(), results.callback(), [&](const ect::SaleResult&) {
        ++asked;
        return ProductDeliveryAccepted;
    }));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(errorOf(results.first()), "1/19");
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(requestsOfType("RR").empty());
}

TEST_F(TransactionsEndToEnd, ResetInsideTheDeliveryCallbackEndsTheSaleOnce)
{
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleWithDeliveryConfirmationTransaction(amount(), results.callback(), [&](const ect::SaleResult&) {
        terminal->resetTransaction();
        EXPECT_TRUE(results.waitFor(1));
        return ProductDeliveryAccepted;
    }));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(errorOf(results.first()), "2/30");
    // Anything sent for the sale would have gone out before this request.
    Results<ect::LastTransactionResult> last;
    terminal->send(ect::LastTransactionStatusTransaction(last.callback()));
    ASSERT_TRUE(last.waitFor(1));
    EXPECT_TRUE(requestsOfType("RR").empty());
    EXPECT_EQ(results.count(), 1u);
}
