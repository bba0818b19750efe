#include "CoreTestKit.h"

#include "engine/core/JsonTransactionRequestHandlerImpl.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <exception>
#include <set>
#include <thread>

using namespace coretest;

namespace {

// Keeps what it is handed instead of sending it.
class RecordingDispatcher : public oxa::TransactionDispatcher {
public:
    void dispatch(std::unique_ptr<oxa::ZUVATransaction> transaction) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dispatched.push_back(std::move(transaction));
    }
    void closeTransaction(QSharedPointer<oxa::ZUVATransaction>) override {}
    void reportTransactionError(const ect::ECTError&) override {}
    void reportMessageError(QByteArray const&, const ect::ECTError&) override {}
    bool isInFlight(QByteArray const&) const override { return false; }
    void resetTransaction() override {}
    std::uint64_t sentSoFar() const override { return 0; }
    void failTransactions(const ect::ECTError&, std::uint64_t) override {}
    QSharedPointer<oxa::ZUVATransaction> getPendingTransaction(QString) const override { return {}; }
    ReplyOwner findReplyOwner(oxa::ReplyMatcher::Reply const&) override { return {}; }
    bool holdsSequenceNumber(int sequenceNumber) const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_held.count(sequenceNumber) > 0;
    }
    void setOnStartTransactionCallback(std::function<void()>) override {}
    void setOnEndTransactionCallback(std::function<void()>) override {}

    size_t count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dispatched.size();
    }
    void hold(std::set<int> held)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = std::move(held);
    }
    oxa::ZUVATransaction& at(size_t index)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return *m_dispatched.at(index);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<oxa::ZUVATransaction>> m_dispatched;
    // Sequence numbers said to be held by transactions in flight.
    std::set<int> m_held;
};

QJsonDocument request(const QString& action, QJsonObject fields = QJsonObject())
{
    fields.insert("action", action);
    return QJsonDocument(QJsonObject{{"transaction", fields}});
}

class RequestHandlerTest : public ::testing::Test {
protected:
    RequestHandlerTest()
    {
        handler.registerTransaction("Test", std::unique_ptr<oxa::JsonTransactionRequest>(new TestRequest()),
                                    std::unique_ptr<oxa::JsonZUVAResponse>(new TestResponse()), oxa::ImmediateQueue);
    }

    int lastSequence() { return sentMessage(dispatcher->at(dispatcher->count() - 1).header.data()
                                            + dispatcher->at(dispatcher->count() - 1).body.data()).sequence; }

    std::shared_ptr<RecordingDispatcher> dispatcher = std::make_shared<RecordingDispatcher>();
    oxa::JsonTransactionRequestHandlerImpl handler{dispatcher};
};

// Numbers held by transactions in flight are skipped, also across the wrap.
TEST_F(RequestHandlerTest, SequenceNumbersRunFromOneTo99AndSkipRefusedActionsAndNumbersInFlight)
{
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_THROW(handler.makeTransaction(request("Unknown"), nullptr, nullptr), std::invalid_argument);
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 3);

    EXPECT_THROW(handler.makeTransaction(request("Test", {{"fail", true}}), nullptr, nullptr), std::invalid_argument);
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 5);

    while (handler.gotoNextSequenceNr() != 98) {
    }
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 99);
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 1);

    dispatcher->hold({2, 3, 99});
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 4);
    while (handler.gotoNextSequenceNr() != 97) {
    }
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 98);
    handler.makeTransaction(request("Test"), nullptr, nullptr);
    EXPECT_EQ(lastSequence(), 1);
}

TEST_F(RequestHandlerTest, BodyThatDoesNotFitTheFourDigitLengthIsRefused)
{
    const int padding = 9981; // the body's largest size: 9999 bytes
    QByteArray body;
    TestRequest().prepareZUVABody(1, request("Test", {{"padding", padding}}).object(), body);
    ASSERT_EQ(body.size(), 9999);
    handler.makeTransaction(request("Test", {{"padding", padding}}), nullptr, nullptr);
    ASSERT_EQ(dispatcher->count(), 1u);
    EXPECT_EQ(dispatcher->at(0).header.length().length(), 9999);

    EXPECT_THROW(handler.makeTransaction(request("Test", {{"padding", padding + 1}}), nullptr, nullptr),
                 std::invalid_argument);
    EXPECT_EQ(dispatcher->count(), 1u);
}

TEST_F(RequestHandlerTest, ConcurrentRequestsOfOneActionKeepTheirOwnTimeOuts)
{
    const int perThread = 200;
    std::vector<std::thread> callers;
    // What a caller throws is thrown again here: escaping its thread, it would end the executable.
    std::vector<std::exception_ptr> thrown(4);
    for (int caller = 1; caller <= 4; ++caller) {
        callers.emplace_back([this, caller, &thrown] {
            try {
                for (int i = 0; i < perThread; ++i)
                    handler.makeTransaction(request("Test", {{"timeout", caller * 10}, {"padding", caller}}), nullptr,
                                            nullptr);
            } catch (...) {
                thrown[size_t(caller - 1)] = std::current_exception();
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    for (const auto& exception : thrown)
        if (exception)
            std::rethrow_exception(exception);
    ASSERT_EQ(dispatcher->count(), size_t(4 * perThread));
    for (size_t i = 0; i < dispatcher->count(); ++i) {
        oxa::ZUVATransaction& transaction = dispatcher->at(i);
        // The caller's padding tells which time-out it asked for.
        const SimTlv root = SimTlv::parseAll(fromQ(transaction.body.data())).at(0);
        const int caller = int(root.find("DF01")->value.size());
        EXPECT_EQ(transaction.timeout, std::chrono::milliseconds(caller * 10 * 1000));
    }
}

} // namespace
