#include "RetailFixture.h"

#include <thread>

using namespace saletest;

namespace {

const QJsonObject kSale{{"action", "SaleWithDeliveryConfirmation"},
                        {"amount", "20.00"},
                        {"saleSystemActionIdentifier", "00000007"}};

std::string answer(bool delivered)
{
    return std::string("{\"ProductDelivery\": {\"deliveryAccepted\": ") + (delivered ? "true" : "false") + "}}";
}

} // namespace

TEST_F(RetailEndToEnd, DeliveryAnswersReachTheTerminalAndTheSaleEndsOnce)
{
    const struct {
        const char* name;
        std::string answer;
        const char* incidentSent;
    } cases[] = {
        {"delivered", answer(true), "0000"},
        {"not delivered", answer(false), "4400"},
        {"no answer", std::string(), "4400"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        auto record = std::make_shared<SaleHost::Transaction>();
        record->answer = each.answer;
        const auto sale = send(kSale, record);
        ASSERT_TRUE(sale->waitUntilFreed());
        ASSERT_EQ(sale->questions().size(), 1u);
        const QJsonObject question = sale->questions().front().value("result").toObject();
        EXPECT_EQ(question.value("saleSystemActionIdentifier"), "00000007");
        EXPECT_EQ(question.value("deliveryTimeout"), 30);
        EXPECT_EQ(question.value("authorizedAmount"), 20.0);
        const SimMessage deliveryAnswer = requestsOfType("RR").back();
        EXPECT_EQ(valueOf(deliveryAnswer, "DF940D"), each.incidentSent);
        EXPECT_EQ(valueOf(deliveryAnswer, "DF9540"), "0030");
        EXPECT_EQ(valueOf(deliveryAnswer, "DF9464"), "00000007");
        // The card data of the question goes back unchanged.
        ASSERT_NE(deliveryAnswer.find("BF8104"), nullptr);
        EXPECT_EQ(valueOf(deliveryAnswer, "DF900F"), "0035");

        ASSERT_EQ(sale->results().size(), 1u);
        const QJsonObject outcome = sale->results().front();
        if (std::string(each.incidentSent) == "0000") {
            EXPECT_EQ(outcome.value("result").toObject().value("authorizedAmount"), 20.0);
        } else {
            EXPECT_EQ(errorOf(outcome).incident, "4400");
            EXPECT_EQ(errorOf(outcome).merchantText, "NOT DELIVERED");
        }
    }
    EXPECT_EQ(requestsOfType("Cd").size(), 3u);
    EXPECT_EQ(requestsOfType("RR").size(), 3u);
}

TEST_F(RetailEndToEnd, ProductDeliveryFromTheHostIsRefused)
{
    for (const bool saleInFlight : {false, true}) {
        SCOPED_TRACE(saleInFlight ? "while a sale waits for the terminal" : "with nothing in flight");
        std::shared_ptr<SaleHost::Transaction> sale;
        if (saleInFlight) {
            terminal.on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
            sale = send(kSale);
            ASSERT_TRUE(terminal.waitForRequests(1));
        }
        const auto delivery = send({{"action", "ProductDelivery"}, {"deliveryAccepted", true}});
        const ErrorSummary error = errorOf(delivery->result());
        EXPECT_EQ(error.code, 2);
        EXPECT_EQ(error.cause, 15);
        EXPECT_TRUE(requestsOfType("RR").empty());
        if (sale) {
            EXPECT_TRUE(sale->results().empty());
            zuva_resetTransaction(Terminal);
            EXPECT_EQ(errorOf(sale->result()).cause, 30);
        }
    }
}

TEST_F(RetailEndToEnd, AnswerAfterTheSaleWasResetSendsNothing)
{
    auto record = std::make_shared<SaleHost::Transaction>();
    record->answer = answer(true);
    SaleHost::Transaction* sale = record.get();
    // The host resets the sale while it is still thinking about the question.
    record->onQuestion = [sale] {
        std::thread reset([] { zuva_resetTransaction(Terminal); });
        reset.join();
        EXPECT_TRUE(sale->waitForResults(1));
    };
    send(kSale, record);
    ASSERT_TRUE(record->waitUntilFreed());
    ASSERT_EQ(record->results().size(), 1u);
    EXPECT_EQ(errorOf(record->results().front()).cause, 30);

    // Anything sent for the sale would have gone out before this request.
    EXPECT_EQ(send({{"action", "LastTransaction"}})->result().value("result").toObject().value("terminalIdentifier"),
              Terminal);
    EXPECT_TRUE(requestsOfType("RR").empty());
    EXPECT_EQ(record->results().size(), 1u);
}

TEST_F(RetailEndToEnd, TerminalMayEndTheSaleWithoutAskingForDelivery)
{
    terminal.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, Terminal));
    });
    const auto sale = send(kSale);
    EXPECT_EQ(sale->result().value("result").toObject().value("authorizedAmount"), 20.0);
    EXPECT_TRUE(sale->questions().empty());
    EXPECT_TRUE(requestsOfType("RR").empty());
}
