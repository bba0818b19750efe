#include "ServiceFixture.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ZUVATcpIpServerListener.h"
#include "foundation/TcpIpServer.h"
#include "support/GateTcpListener.h"

#include <future>
#include <mutex>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;

namespace {

SimTerminal::Responder informationAnswer(const std::string& terminal)
{
    return [terminal](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, terminal, "SIM-1", "10"));
    };
}

} // namespace

using Transactions = ServiceFixture;

TEST_F(Transactions, RefusedRequestsAreAnsweredAndReleasedBeforeReturning)
{
    auto terminal = connectTerminal("TERM0001");
    const struct {
        const char *terminalId, *json, *reason;
    } rows[] = {
        {"TERM0001", "{\"transaction\": {\"action\": \"Unknown\"}}", "no registered handler found for action Unknown"},
        {"TERM0001", "not json", "Invalid JSON"},
        {"TERM9999", "{\"transaction\": {\"action\": \"InformationService\"}}", "Terminal with id TERM9999 is not connected"},
    };
    size_t row = 0;
    for (const auto& each : rows) {
        SCOPED_TRACE(each.json);
        EXPECT_EQ(host.send(each.terminalId, each.json), -1);
        ASSERT_EQ(host.count("free"), ++row);
        ASSERT_EQ(host.count("result"), row);
        EXPECT_EQ(reasonOf(host.last("result")), each.reason);
        EXPECT_EQ(errorCodes(host.last("result")).second, 15);
    }
    EXPECT_TRUE(terminal->requests().empty());
}

// A reply and the hang-up right behind it meet on the socket's thread, where
// the reply is read, while the server's thread ends the connection: each
// round ends with one result and one release, before the disconnection.
TEST_F(Transactions, HangUpRacingTheReplyEndsTheTransactionOnce)
{
    for (size_t round = 0; round < 10 && !HasFailure(); ++round) {
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

// A request may be started on the caller's thread; refused there, because
// another one runs, or reset later, its result still arrives on a library thread.
TEST_F(Transactions, RefusalAndResetOfRequestsSentBackToBackArriveOnLibraryThreads)
{
    auto terminal = connectTerminal("TERM0001");
    terminal->on("Ci", [](const SimMessage&) { return SimTerminal::silence(); });
    for (int sent = 0; sent < 2; ++sent)
        ASSERT_EQ(host.send("TERM0001", informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    ASSERT_EQ(zuva_reset_transaction("TERM0001"), 0);
    ASSERT_TRUE(host.waitFor("result", 2));
    EXPECT_EQ(errorCodes(host.first("result")), std::make_pair(1, 14));
    EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));
    for (const std::thread::id thread : host.threads("result"))
        EXPECT_NE(thread, std::this_thread::get_id());
}

namespace {

// A host whose result callback waits until it is let go, or gives up at a
// deadline: a request refused on the test's own thread calls it there, where
// nothing can let it go.
struct BlockingHost {
    std::promise<void> entered;
    std::promise<void> letGo;
    std::shared_future<void> released = letGo.get_future().share();
    std::once_flag releasedOnce;

    static void onResult(const char*, void* data)
    {
        auto* host = static_cast<BlockingHost*>(data);
        host->entered.set_value();
        noteWait(host->released.wait_for(waitDeadline(std::chrono::seconds(20))) == std::future_status::ready);
    }
    void release() { std::call_once(releasedOnce, [this] { letGo.set_value(); }); }
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
    first->on("Ci", informationAnswer("TERM0001"));
    zuva_reply_function reply;
    void* handle;
    ASSERT_EQ(zuva_sendTransaction("TERM0001", informationRequest().c_str(), &BlockingHost::onResult, &blocking,
                                   &reply, &handle, nullptr),
              0);
    ASSERT_TRUE(noteWait(blocking.entered.get_future().wait_for(waitDeadline(std::chrono::seconds(20)))
                         == std::future_status::ready));
    first->close();
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("TERM0001") == -1; }));

    auto second = connectTerminal("TERM0002", 1);
    second->on("Ci", informationAnswer("TERM0002"));
    ASSERT_EQ(host.send("TERM0002", informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(host.count("disconnected"), 0u);

    blocking.release();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
}

namespace {

// A TCP/IP service put together as the services registry does it, with a
// gate on its server that can hold the thread reporting a socket's data.
class GatedService : public ::testing::Test {
protected:
    void SetUp() override
    {
        zuva_Initialize(); // the Qt application the library's threads need
        const auto recorder = [this](const std::string& kind) { return reportRecorder(host, kind); };
        listener = std::make_shared<oxa::ZUVATcpIpServerListener>(
            std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment()), recorder("connected"),
            recorder("disconnected"), recorder("notification"), releaseThread);
        server->registerListener(listener);
        server->registerListener(gate);
        port = SimTerminal::freeLoopbackPort();
        ASSERT_TRUE(server->listen("127.0.0.1", port));
    }

    void TearDown() override { stop(); }

    // As the services registry stops a service: every connection is gone on return.
    void stop()
    {
        gate->open();
        server.reset();
        if (listener)
            listener->closeAll();
        listener.reset();
    }

    // An information request whose result is recorded as the kind.
    void ask(const QString& terminal, const std::string& kind)
    {
        const auto connection = listener->getTerminalConnection(terminal);
        ASSERT_TRUE(connection);
        connection->makeTransaction(QJsonDocument::fromJson(QByteArray::fromStdString(informationRequest())),
                                    host.recorderFor(kind), nullptr);
    }

    HostRecorder host;
    const std::shared_ptr<oxa::ReleaseThread> releaseThread = std::make_shared<oxa::ReleaseThread>();
    std::unique_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    std::shared_ptr<oxa::ZUVATcpIpServerListener> listener;
    const std::shared_ptr<GateTcpListener> gate = std::make_shared<GateTcpListener>();
    uint16_t port = 0;
};

// A terminal's end of the connection, which reads nothing.
struct Deaf {
    explicit Deaf(uint16_t port)
        : descriptor(SimTerminal::loopbackConnection(port))
    {
        // What the library sends beyond the little this buffer takes waits on its side.
        const int smallBuffer = 4096;
        if (descriptor >= 0)
            ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);
    }
    ~Deaf() { hangUp(); }
    bool send(const Bytes& bytes) const
    {
        return ::send(descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    void hangUp()
    {
        if (descriptor >= 0)
            ::close(descriptor);
        descriptor = -1;
    }

    int descriptor;
};

} // namespace

// A request written to a terminal that has hung up, while earlier bytes still
// wait to be sent, is accepted: the disconnection then fails it, once, before
// the terminal is reported gone, and blames no other terminal's transaction.
TEST_F(GatedService, ARequestQueuedBehindUnsentBytesToAClosedPeerFailsOnceWithTheDisconnection)
{
    Deaf deaf(port);
    ASSERT_GE(deaf.descriptor, 0);
    SimAdvice advice;
    advice.terminalIdentifier = "DEAF0001";
    ASSERT_TRUE(deaf.send(SimTerminal::adviceMessage(advice)));
    ASSERT_TRUE(host.waitFor("connected", 1));
    const auto socket = gate->lastConnected();
    ASSERT_TRUE(socket);
    const std::vector<unsigned char> chunk(1 << 20, 'x');
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(socket->getOutputStream()->write(chunk.data(), static_cast<int>(chunk.size())));

    // Another terminal answers only once the first one is reported gone.
    SimTerminal other;
    ASSERT_TRUE(other.connectTo(port));
    other.on("Ci", [this](const SimMessage& request) {
        waitUntil([this] { return host.count("disconnected") > 0; });
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, "TERM0002", "SIM-1", "10"));
    });
    advice.terminalIdentifier = "TERM0002";
    ASSERT_TRUE(other.sendAdvice(advice));
    ASSERT_TRUE(host.waitFor("connected", 2));
    ASSERT_NO_FATAL_FAILURE(ask("TERM0002", "answered"));

    // The deaf terminal's socket thread is held while it hangs up, so that
    // its request is written before the library can notice.
    gate->shut();
    ASSERT_TRUE(deaf.send(Bytes{0x00}));
    ASSERT_TRUE(gate->waitUntilHolding());
    deaf.hangUp();
    ASSERT_NO_FATAL_FAILURE(ask("DEAF0001", "failed"));
    gate->open();

    ASSERT_TRUE(host.waitFor("failed", 1));
    ASSERT_TRUE(host.waitFor("answered", 1));
    stop();
    ASSERT_EQ(host.count("failed"), 1u);
    EXPECT_EQ(errorCodes(host.first("failed")), NetworkError);
    EXPECT_NE(reasonOf(host.first("failed")), "the message could not be written");
    EXPECT_LT(host.position("failed"), host.position("disconnected"));
    ASSERT_EQ(host.count("answered"), 1u);
    EXPECT_TRUE(host.first("answered").contains("result"));
}
