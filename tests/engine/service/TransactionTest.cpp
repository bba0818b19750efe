#include "ServiceFixture.h"

#include "engine/service/ReverseCallbackResponse.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace testsupport;

namespace {

// The information request of a fresh connection (sequence number 1), as the
// terminal must receive it: header to destination 00 0F with body length 11,
// then F0 { E1 { D0 "Ci", D1 01 } }.
const Bytes InformationRequestSequence1 = fromHex(
    "4D43 0100 00000000000000000000 000F 00000000000000000000 0A0B 00000000000000 00 0011"
    "F009 E107 D0024369 D10101");

SimTerminal::Responder informationAnswer()
{
    return [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", "10"));
    };
}

} // namespace

using Transactions = ServiceFixture;

TEST_F(Transactions, RefusedRequestsAreAnsweredAndReleasedBeforeReturning)
{
    auto terminal = connectTerminal("TERM0001");

    EXPECT_EQ(host.send("TERM0001", "{\"transaction\": {\"action\": \"Unknown\"}}"), -1);
    ASSERT_EQ(host.count("result"), 1u);
    ASSERT_EQ(host.count("free"), 1u);
    EXPECT_EQ(reasonOf(host.documents("result").at(0)), "no registered handler found for action Unknown");
    EXPECT_EQ(errorCodes(host.documents("result").at(0)).second, 15);

    EXPECT_EQ(host.send("TERM0001", "not json"), -1);
    EXPECT_EQ(reasonOf(host.documents("result").at(1)), "Invalid JSON");

    EXPECT_EQ(host.send("TERM9999", informationRequest()), -1);
    ASSERT_EQ(host.count("free"), 3u);
    const QJsonObject notConnected = host.documents("result").at(2);
    EXPECT_EQ(errorCodes(notConnected), std::make_pair(2, 15));
    EXPECT_EQ(reasonOf(notConnected), "Terminal with id TERM9999 is not connected");
    EXPECT_TRUE(terminal->requests().empty());
}

TEST_F(Transactions, NotificationsFollowTheSwitch)
{
    auto terminal = connectTerminal("TERM0001");
    terminal->on("Ci", informationAnswer());
    EXPECT_EQ(zuvaServiceEnableNotifications("TERM9999", 1), -1);
    ASSERT_EQ(zuvaServiceEnableNotifications("TERM0001", 1), 0);
    ASSERT_EQ(zuva_set_service_enable_notifications("TERM0001", 1), 0);
    terminal->sendSynchronizationAdvice("8001");
    ASSERT_TRUE(host.waitFor("notification", 1));
    const QJsonObject event = host.first("notification").value("event").toObject();
    EXPECT_EQ(event.value("synchronizationState").toString(), "8001");
    EXPECT_EQ(event.value("terminalIdentifier").toString(), "TERM0001");

    ASSERT_EQ(zuvaServiceEnableNotifications("TERM0001", 0), 0);
    terminal->sendSynchronizationAdvice("4000");
    // A full round trip after the advice: it has been handled by then.
    ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(host.count("notification"), 1u);
    EXPECT_TRUE(host.first("result").contains("result"));
}

TEST_F(Transactions, ResetClosingSocketAndStoppingEachFailTheTransactionInFlightOnce)
{
    auto terminal = connectTerminal("TERM0001");
    EXPECT_EQ(zuva_resetTransaction("TERM9999"), -1);
    ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));
    EXPECT_EQ(zuva_reset_transaction("TERM0001"), 0);
    ASSERT_TRUE(host.waitFor("free", 1));
    ASSERT_EQ(host.count("result"), 1u);
    EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));

    // The failed transaction is reported before the disconnection.
    terminal->on("Ci", [](const SimMessage&) { return SimTerminal::closing(); });
    ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    ASSERT_TRUE(host.waitFor("free", 2));
    ASSERT_EQ(host.count("result"), 2u);
    EXPECT_EQ(errorCodes(host.last("result")), NetworkError);
    EXPECT_LT(host.position("result", 1), host.position("disconnected"));

    // Stopping reports result, disconnection and stop in that order.
    terminal = connectTerminal("TERM0001", 1);
    ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));
    host.stop();
    ASSERT_EQ(host.count("result"), 3u);
    EXPECT_EQ(errorCodes(host.last("result")), NetworkError);
    EXPECT_LT(host.position("result", 2), host.position("disconnected", 1));
    EXPECT_LT(host.position("disconnected", 1), host.position("stopped"));
    EXPECT_TRUE(terminal->waitForPeerClose());
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), -1);
}

TEST(ReplyChannel, LastAnswerWinsAndNullHandleIsIgnored)
{
    zuva_reply_function reply = nullptr;
    void* handle = nullptr;
    HostRecorder host;
    ASSERT_EQ(zuva_sendTransaction("TERM9999", "{}", HostRecorder::callbackFor("result"), &host, &reply, &handle,
                                   nullptr),
              -1);
    EXPECT_EQ(reply, &oxa::ReverseCallbackResponse::OnReverseCallback);
    EXPECT_NE(handle, nullptr);

    oxa::ReverseCallbackResponse slot;
    reply("{\"ProductDelivery\": {\"deliveryAccepted\": false}}", &slot);
    reply("{\"ProductDelivery\": {\"deliveryAccepted\": true}}", &slot);
    reply("ignored", nullptr);
    EXPECT_EQ(slot.answer(), "{\"ProductDelivery\": {\"deliveryAccepted\": true}}");
    reply(nullptr, &slot);
    EXPECT_EQ(slot.answer(), "");
}

namespace {

// A host that starts the next request from inside each result callback.
struct ChainingHost {
    static constexpr int Wanted = 3;
    std::atomic<int> results{0};

    static void onResult(const char* json, void* data)
    {
        auto* host = static_cast<ChainingHost*>(data);
        if (std::string(json).find("\"result\"") == std::string::npos)
            return;
        // The last count lets the test end and the host go: it is the last touch.
        if (++host->results < Wanted)
            host->send();
    }
    int send()
    {
        zuva_reply_function reply;
        void* handle;
        return zuva_sendTransaction("TERM0001", "{\"transaction\": {\"action\": \"InformationService\"}}",
                                    &ChainingHost::onResult, this, &reply, &handle, nullptr);
    }
};

} // namespace

TEST_F(Transactions, RequestsStartedFromInsideResultCallbacks)
{
    auto terminal = connectTerminal("TERM0001");
    terminal->on("Ci", informationAnswer());
    ChainingHost chaining;
    ASSERT_EQ(chaining.send(), 0);
    EXPECT_TRUE(waitUntil([&] { return chaining.results == ChainingHost::Wanted; }));
    host.stop(); // no callback reaches chaining after this, whatever the outcome
    const auto requests = terminal->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].sequence, 3);
}

// A reply and the hang-up right behind it meet on the socket's thread, where
// the reply is read, while the server's thread ends the connection: each
// round ends with one result and one release, before the disconnection.
TEST_F(Transactions, HangUpRacingTheReplyEndsTheTransactionOnce)
{
    for (size_t round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        auto terminal = connectTerminal("TERM0001", round);
        terminal->on("Ci", [](const SimMessage& request) {
            return SimTerminal::Reply{{SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", "10")}, true};
        });
        ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
        ASSERT_TRUE(host.waitFor("disconnected", round + 1));
        ASSERT_TRUE(host.waitFor("free", round + 1));
        EXPECT_EQ(host.count("result"), round + 1);
        EXPECT_LT(host.position("result", round), host.position("disconnected", round));
    }
}

namespace {

// A host whose result callback waits until it is let go.
struct BlockingHost {
    std::mutex mutex;
    std::condition_variable changed;
    bool inCallback = false;
    bool letGo = false;

    static void onResult(const char*, void* data)
    {
        auto* host = static_cast<BlockingHost*>(data);
        std::unique_lock<std::mutex> lock(host->mutex);
        host->inCallback = true;
        host->changed.notify_all();
        host->changed.wait(lock, [host] { return host->letGo; });
    }
    void waitInCallback()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return inCallback; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        letGo = true;
        changed.notify_all();
    }
};

// The blocked callback is let go whatever the test's outcome, before the
// service stops and the host goes.
class ReleaseDuringCallback : public ServiceFixture {
protected:
    void TearDown() override
    {
        blocking.release();
        ServiceFixture::TearDown();
    }

    BlockingHost blocking;
};

} // namespace

// The connection of a terminal that hangs up while the host sits in one of
// its callbacks ends once the callback returns; meanwhile other terminals
// connect and transact, and the disconnection is reported after the result.
TEST_F(ReleaseDuringCallback, WaitsForTheCallbackAndHoldsUpNoOtherTerminal)
{
    auto first = connectTerminal("TERM0001");
    first->on("Ci", informationAnswer());
    zuva_reply_function reply;
    void* handle;
    ASSERT_EQ(zuva_sendTransaction("TERM0001", informationRequest().c_str(), &BlockingHost::onResult, &blocking,
                                   &reply, &handle, nullptr),
              0);
    blocking.waitInCallback();
    first->close();
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("TERM0001") == -1; }));

    auto second = connectTerminal("TERM0002", 1);
    second->on("Ci", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, "TERM0002", "SIM-2", "10"));
    });
    ASSERT_EQ(host.send("TERM0002", informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(host.count("disconnected"), 0u);

    blocking.release();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
}
