#include "CoreTestKit.h"

#include "engine/core/JsonTransactionRequestHandler.h"
#include "support/SimTerminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

class ResponseHandlerTest : public ::testing::Test {
protected:
    void send(int id, QString replyType = "Rt", oxa::TransactionMethod method = oxa::Sequential)
    {
        TransactionPlan plan;
        plan.sequence = id;
        plan.replyType = replyType;
        plan.method = method;
        const size_t before = link->out->writeCount();
        link->dispatcher->dispatch(makeTransaction(plan, results.callbackFor(id)));
        ASSERT_TRUE(link->out->waitForWrites(before + 1));
    }

    // Waits until the dispatcher has let go of every transaction.
    bool idle() { return waitUntil([&] { return link->dispatcher->getPendingTransaction("Rt").isNull(); }); }

    Results results;
    std::unique_ptr<Connection> link{new Connection()};
};

TEST_F(ResponseHandlerTest, NullArgumentsAreRefused)
{
    auto dispatcher = oxa::makeTransactionDispatcher(link->out);
    std::shared_ptr<oxa::TransactionDispatcher> shared(std::move(dispatcher));
    try {
        oxa::makeJsonZUVAResponseHandler(shared, nullptr, nullptr);
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Input stream is null");
    }
    try {
        oxa::makeJsonZUVAResponseHandler(nullptr, link->in, nullptr);
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Transaction dispatcher is null");
    }
}

TEST_F(ResponseHandlerTest, MessagesAreCutWhateverTheReadsLookLike)
{
    // Header alone, then the body byte by byte.
    send(1);
    const QByteArray reply = message("Rt", 1);
    link->receive(reply.left(38));
    for (int i = 38; i < reply.size(); ++i)
        link->receive(reply.mid(i, 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(results.first(1).object()["result"].toObject()["sequence"].toInt(), 1);
    ASSERT_TRUE(idle());

    // A reply and a notification in one read, handled in arrival order.
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
    send(2);
    link->receive(message("Rt", 2) + message("Cy", 3));
    ASSERT_TRUE(link->notifications.waitFor(0));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(link->notifications.first(0).object()["result"].toObject()["sequence"].toInt(), 3);
}

TEST_F(ResponseHandlerTest, BytesThatStartNoMessageAreSkippedUpToTheNextHeader)
{
    send(1);
    link->receive(toQ(testsupport::SimMessage::frame({})).left(10) + QByteArray(50, 'Z') + "xM");
    link->receive(QByteArray("C") + message("Rt", 1).mid(2));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_TRUE(isResult(results.first(1)));
    ASSERT_TRUE(idle());

    send(2);
    link->receive(toQ(testsupport::SimTerminal::garbage()) + messageWithUnreadableBody() + message("Rt", 2));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(results.first(2).object()["result"].toObject()["sequence"].toInt(), 2);
}

TEST_F(ResponseHandlerTest, NotificationsGoToTheirHandlerEvenWhileATransactionIsPending)
{
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cu")));
    send(1);
    // A notification its translator cannot read is dropped without harm.
    link->receive(message("Cu", 8, {SimTlv::hex("DF02", "01")}) + message("Cu", 9));
    ASSERT_TRUE(link->notifications.waitFor(0));
    EXPECT_EQ(link->notifications.first(0).object()["result"].toObject()["sequence"].toInt(), 9);
    EXPECT_EQ(results.count(1), 0u);
    ASSERT_FALSE(link->dispatcher->getPendingTransaction("Rt").isNull());

    link->dispatcher->resetTransaction();
    ASSERT_TRUE(results.waitFor(1));
    ASSERT_TRUE(idle());
    // Unsolicited and unknown: no trace.
    link->receive(message("Zz", 1) + message("Cu", 10));
    ASSERT_TRUE(link->notifications.waitForTotal(2));
    EXPECT_EQ(results.total(), 1u);
}

TEST_F(ResponseHandlerTest, NotificationRegistryRefusesDuplicatesAndIsSafeWhileMessagesFlow)
{
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
    try {
        link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "zuva notification handler with key Cy already exists");
    }
    link->responses->registerNotificationHandler(nullptr);

    std::atomic<bool> stop{false};
    std::thread toggler([&] {
        while (!stop) {
            link->responses->unregisterNotificationHandler("Cy");
            link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
        }
    });
    for (int i = 0; i < 200; ++i)
        link->receive(message("Cy", i % 100));
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cx")));
    link->receive(message("Cx", 1));
    EXPECT_TRUE(waitUntil([&] {
        const auto all = link->notifications.of(0);
        return !all.empty() && all.back().object()["result"].toObject()["type"] == "Cx";
    }));
    stop = true;
    toggler.join();
}

TEST_F(ResponseHandlerTest, RejectionAndErrorIncidentFailThePendingTransaction)
{
    send(1);
    link->receive(rejection(1, "0102"));
    ASSERT_TRUE(results.waitFor(1));
    const QJsonObject rejected = results.first(1).object()["error"].toObject();
    EXPECT_EQ(rejected["code"].toInt(), 1);
    EXPECT_EQ(rejected["causeCode"].toInt(), 20);
    EXPECT_EQ(rejected["rejectionCode"].toObject()["code"].toString(), "0102");
    ASSERT_TRUE(idle());

    send(2);
    link->receive(incidentReply("Rt", 2, "1234", "Card refused"));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(errorCode(results.first(2)), 1);
    EXPECT_EQ(causeCode(results.first(2)), 19);
    EXPECT_EQ(extraInformation(results.first(2), "merchantText"), "Card refused");
    ASSERT_TRUE(idle());

    // "0000" and "0001" are successes for the translator.
    send(3);
    link->receive(incidentReply("Rt", 3, "0001"));
    ASSERT_TRUE(results.waitFor(3));
    EXPECT_TRUE(isResult(results.first(3)));
}

TEST_F(ResponseHandlerTest, ReplyOfAnotherTypeIsDroppedNotTakenAsTheResult)
{
    send(1);
    link->receive(incidentReply("Rq", 1, "1234") + message("Rq", 1));
    link->receive(message("Rt", 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_TRUE(isResult(results.first(1)));
    ASSERT_TRUE(idle());

    // While a delivery question is awaited, the sale reply "Rd" ends the sale,
    // as an error or as a result.
    send(2, "CR");
    link->receive(incidentReply("Rd", 2, "1234"));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(causeCode(results.first(2)), 19);
    ASSERT_TRUE(idle());
    send(3, "CR");
    link->receive(message("Rd", 3));
    ASSERT_TRUE(results.waitFor(3));
    EXPECT_EQ(results.first(3).object()["result"].toObject()["sequence"].toInt(), 3);
}

TEST_F(ResponseHandlerTest, FailingTranslatorEndsTheTransactionWithInvalidResponse)
{
    send(1);
    link->receive(message("Rt", 1, {SimTlv::hex("DF02", "01")}));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(errorCode(results.first(1)), 2);
    EXPECT_EQ(causeCode(results.first(1)), 16);
    EXPECT_EQ(extraInformation(results.first(1), "reason"), "unreadable reply");
    EXPECT_TRUE(idle());
}

TEST_F(ResponseHandlerTest, ThrowingResultCallbackDoesNotStopTheHandler)
{
    TransactionPlan plan;
    link->dispatcher->dispatch(makeTransaction(plan, [](QJsonDocument) { throw std::runtime_error("host failed"); }));
    ASSERT_TRUE(link->out->waitForWrites(1));
    link->receive(message("Rt", 1));
    ASSERT_TRUE(idle());
    send(2);
    link->receive(message("Rt", 2));
    EXPECT_TRUE(results.waitFor(2));
}

TEST_F(ResponseHandlerTest, ResultCallbackMayStartTheNextTransaction)
{
    TransactionPlan first;
    first.sequence = 1;
    auto record = results.callbackFor(1);
    auto followUp = results.callbackFor(2);
    link->dispatcher->dispatch(makeTransaction(first, [&, record, followUp](QJsonDocument document) {
        record(document);
        TransactionPlan next;
        next.sequence = 2;
        link->dispatcher->dispatch(makeTransaction(next, followUp));
    }));
    ASSERT_TRUE(link->out->waitForWrites(1));
    link->receive(message("Rt", 1));
    ASSERT_TRUE(link->out->waitForWrites(2));
    EXPECT_EQ(sentMessage(link->out->writes()[1]).sequence, 2);
    link->receive(message("Rt", 2));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_TRUE(isResult(results.first(2)));
}

TEST_F(ResponseHandlerTest, SecondReplyToAnEndedTransactionIsDropped)
{
    link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Cy")));
    send(1);
    // The notification behind them shows when all three have been handled.
    link->receive(message("Rt", 1) + message("Rt", 1) + rejection(1, "01") + message("Cy", 1));
    ASSERT_TRUE(link->notifications.waitFor(0));
    ASSERT_TRUE(results.waitFor(1));
    ASSERT_TRUE(idle());
    send(2);
    link->receive(message("Rt", 2));
    ASSERT_TRUE(results.waitFor(2));
    EXPECT_EQ(results.count(1), 1u);
    EXPECT_EQ(results.first(2).object()["result"].toObject()["sequence"].toInt(), 2);
}

// The delivery question: the reply translator asks the host and starts a
// nested transaction, which takes over the sale's result.
class DeliveryQuestion : public oxa::JsonZUVAResponse {
public:
    explicit DeliveryQuestion(std::weak_ptr<oxa::JsonTransactionRequestHandler> handler) : m_handler(std::move(handler)) {}
    QString getMessageTypeId() const override { return "CR"; }
    void handleResponse(QByteArray, QJsonDocument&, std::function<QJsonDocument(QJsonDocument)> reverse) override
    {
        const QJsonDocument answer = reverse(QJsonDocument(QJsonObject{{"result", QJsonObject{{"productdelivery", true}}}}));
        if (auto handler = m_handler.lock())
            handler->makeTransaction(QJsonDocument(QJsonObject{{"transaction", QJsonObject{{"action", "ProductDelivery"}}}}),
                                     nullptr, nullptr);
    }

private:
    std::weak_ptr<oxa::JsonTransactionRequestHandler> m_handler;
};

TEST_F(ResponseHandlerTest, DeliveryQuestionHandsTheSaleResultToTheNestedTransaction)
{
    std::shared_ptr<oxa::JsonTransactionRequestHandler> requests = oxa::makeJsonTransactionRequestHandler(link->dispatcher);
    requests->registerTransaction("SaleWithDeliveryConfirmation",
                                  std::unique_ptr<oxa::JsonTransactionRequest>(new TestRequest("Cd")),
                                  std::unique_ptr<oxa::JsonZUVAResponse>(new DeliveryQuestion(requests)), oxa::Sequential);
    requests->registerTransaction("ProductDelivery", std::unique_ptr<oxa::JsonTransactionRequest>(new TestRequest("RR")),
                                  std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse("Rd")), oxa::ImmediateNested);
    std::atomic<int> questions{0};
    requests->makeTransaction(QJsonDocument(QJsonObject{{"transaction", QJsonObject{{"action", "SaleWithDeliveryConfirmation"}}}}),
                              results.callbackFor(1), [&](QJsonDocument question) {
                                  ++questions;
                                  return question;
                              });
    ASSERT_EQ(link->sentSequence(0), 1);
    link->receive(message("CR", 1));
    ASSERT_TRUE(link->out->waitForWrites(2));
    EXPECT_EQ(sentMessage(link->out->writes()[1]).type, "RR");
    link->receive(message("Rd", 2));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(results.first(1).object()["result"].toObject()["sequence"].toInt(), 2);
    EXPECT_EQ(questions, 1);
    ASSERT_TRUE(waitUntil([&] { return link->dispatcher->getPendingTransaction("Rd").isNull(); }));
    EXPECT_EQ(results.count(1), 1u);
}

TEST_F(ResponseHandlerTest, ReplyWithoutResultOrHandOverStillEndsTheTransaction)
{
    // A translator that writes nothing and starts nothing.
    class Silent : public TestResponse {
    public:
        void handleResponse(QByteArray, QJsonDocument&, std::function<QJsonDocument(QJsonDocument)>) override {}
    };
    auto transaction = makeTransaction(TransactionPlan(), results.callbackFor(1));
    transaction->response = std::make_shared<Silent>();
    link->dispatcher->dispatch(std::move(transaction));
    ASSERT_TRUE(link->out->waitForWrites(1));
    link->receive(message("Rt", 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(causeCode(results.first(1)), 16);
}

} // namespace
