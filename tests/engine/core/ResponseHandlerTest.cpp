#include "CoreTestKit.h"

#include "simterminal/SimTerminal.h"

#include <gtest/gtest.h>


using namespace coretest;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

class ResponseHandlerTest : public ::testing::Test {
protected:
    void send(int id)
    {
        TransactionPlan plan;
        plan.sequence = id;
        sendTransaction(makeTransaction(plan, results.callbackFor(id)));
    }

    void sendTransaction(std::unique_ptr<oxa::ZUVATransaction> transaction)
    {
        const size_t before = link->out->writeCount();
        link->dispatcher->dispatch(std::move(transaction));
        ASSERT_TRUE(link->out->waitForWrites(before + 1));
    }

    void listenTo(const QString& notificationType)
    {
        link->responses->registerNotificationHandler(std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse(notificationType)));
    }

    // Waits until the dispatcher has let go of every transaction.
    bool idle() { return waitUntil([&] { return link->dispatcher->getPendingTransaction("Rt").isNull(); }); }

    Results results;
    std::unique_ptr<Connection> link{new Connection()};
};

TEST_F(ResponseHandlerTest, MessagesAreCutWhateverTheReadsLookLikeAndStrayBytesAreSkipped)
{
    // Header alone, then the body byte by byte.
    send(1);
    const QByteArray reply = message("Rt", 1);
    link->receive(reply.left(38));
    for (int i = 38; i < reply.size(); ++i)
        link->receive(reply.mid(i, 1));
    ASSERT_TRUE(results.waitFor(1));
    EXPECT_EQ(resultSequence(results.first(1)), 1);
    ASSERT_TRUE(idle());

    // A cut-off header and junk, then a message whose start marker is split over two reads.
    send(2);
    link->receive(toQ(testsupport::SimMessage::frame({})).left(10) + QByteArray(50, 'Z') + "xM");
    link->receive(QByteArray("C") + message("Rt", 2).mid(2));
    EXPECT_EQ(results.outcome(2), Success);
    ASSERT_TRUE(idle());

    // In one read: garbage, an unreadable body, a notification its translator cannot read, an
    // unsolicited message, a notification and the reply; only the last two count.
    listenTo("Cy");
    send(3);
    link->receive(toQ(testsupport::SimTerminal::garbage()) + messageWithUnreadableBody()
                  + message("Cy", 8, {SimTlv::hex("DF02", "01")}) + message("Zz", 3) + message("Cy", 9)
                  + message("Rt", 3));
    ASSERT_TRUE(results.waitFor(3));
    EXPECT_EQ(resultSequence(results.first(3)), 3);
    ASSERT_EQ(link->notifications.total(), 1u);
    EXPECT_EQ(resultSequence(link->notifications.first(0)), 9);
    EXPECT_EQ(results.total(), 3u);
}

TEST_F(ResponseHandlerTest, RejectionErrorIncidentAndUnreadableReplyFailThePendingTransaction)
{
    send(1);
    link->receive(rejection(1, "0102"));
    EXPECT_EQ(results.outcome(1), Outcome(1, 20));
    EXPECT_EQ(results.first(1).object()["error"].toObject()["rejectionCode"].toObject()["code"].toString(), "0102");
    ASSERT_TRUE(idle());

    send(2);
    link->receive(incidentReply("Rt", 2, "1234", "Card refused"));
    EXPECT_EQ(results.outcome(2), Outcome(1, 19));
    EXPECT_EQ(extraInformation(results.first(2), "merchantText"), "Card refused");
    ASSERT_TRUE(idle());

    // "0000" and "0001" are successes for the translator.
    send(3);
    link->receive(incidentReply("Rt", 3, "0001"));
    EXPECT_EQ(results.outcome(3), Success);
    ASSERT_TRUE(idle());

    // A failing translator ends the transaction with an invalid response.
    send(4);
    link->receive(message("Rt", 4, {SimTlv::hex("DF02", "01")}));
    EXPECT_EQ(results.outcome(4), Outcome(2, 16));
    EXPECT_EQ(extraInformation(results.first(4), "reason"), "unreadable reply");
    EXPECT_TRUE(idle());
}

TEST_F(ResponseHandlerTest, ReplyOfAnotherTypeOrToAnEndedTransactionIsDroppedNotTakenAsTheResult)
{
    listenTo("Cy");
    send(1);
    link->receive(incidentReply("Rq", 1, "1234") + message("Rq", 1));
    // The notification behind the second reply and the rejection shows when all have been handled.
    link->receive(message("Rt", 1) + message("Rt", 1) + rejection(1, "01") + message("Cy", 1));
    ASSERT_TRUE(link->notifications.waitFor(0));
    EXPECT_EQ(results.outcome(1), Success);
    ASSERT_TRUE(idle());
    EXPECT_EQ(results.count(1), 1u);
}

TEST_F(ResponseHandlerTest, ResultCallbacksMayThrowOrStartTheNextTransaction)
{
    sendTransaction(makeTransaction(TransactionPlan(), [](QJsonDocument) { throw std::runtime_error("host failed"); }));
    link->receive(message("Rt", 1));
    ASSERT_TRUE(idle());

    TransactionPlan first;
    first.sequence = 2;
    auto record = results.callbackFor(2);
    auto followUp = results.callbackFor(3);
    sendTransaction(makeTransaction(first, [&, record, followUp](QJsonDocument document) {
        record(document);
        TransactionPlan next;
        next.sequence = 3;
        link->dispatcher->dispatch(makeTransaction(next, followUp));
    }));
    link->receive(message("Rt", 2));
    ASSERT_TRUE(link->out->waitForWrites(3));
    EXPECT_EQ(sentMessage(link->out->writes()[2]).sequence, 3);
    link->receive(message("Rt", 3));
    EXPECT_EQ(results.outcome(3), Success);
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
    sendTransaction(std::move(transaction));
    link->receive(message("Rt", 1));
    EXPECT_EQ(results.outcome(1).second, 16);
}

} // namespace
