#include "ServiceFixture.h"

#include <QJsonArray>

#include <atomic>

using namespace testsupport;

TEST(ServiceLifecycle, StartedBeforeReturnStoppedOnceAndABusyPortIsAServiceError)
{
    HostRecorder host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    void* handle = host.start(port);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(host.count("started"), 1u);

    HostRecorder refused;
    EXPECT_EQ(refused.start(port), nullptr);
    EXPECT_EQ(refused.count("started"), 0u);
    ASSERT_EQ(refused.count("error"), 1u);
    EXPECT_EQ(errorCodes(refused.first("error")), std::make_pair(2, 1));
    EXPECT_FALSE(reasonOf(refused.first("error")).empty());

    EXPECT_EQ(zuva_stopService(handle), 0);
    EXPECT_EQ(zuva_stopService(handle), 0);
    int never = 0;
    EXPECT_EQ(zuva_stop_service(&never), 0);
    EXPECT_EQ(host.count("stopped"), 1u);
    EXPECT_EQ(host.count("error"), 0u);
}

using TerminalAdvice = ServiceFixture;

TEST_F(TerminalAdvice, AdviceInTimeReportsTheTerminalDescriptionAndOnlyAnnouncedTerminalsAreListed)
{
    auto terminal = connectTerminal("TERM0001");
    SimTerminal silent;
    ASSERT_TRUE(silent.connectTo(port));
    auto second = connectTerminal("TERM0002", 1);
    const QJsonObject description = host.first("connected").value("terminal").toObject();
    EXPECT_EQ(description, (QJsonObject{{"deviceType", "04"}, {"deviceTypeName", "Terminal"},
                                        {"terminalIdentifier", "TERM0001"}, {"terminalModel", "SIM-1"},
                                        {"terminalSerialNumber", "SN0001"}, {"softwareVersion", "1.0.0"}}));
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);
    EXPECT_EQ(zuva_is_terminal_connected("TERM0003"), -1);

    const auto listed = [] { return takeObject(zuva_getConnectedTerminals()).value("terminals").toArray(); };
    EXPECT_EQ(listed(), (QJsonArray{description, host.last("connected").value("terminal")}));

    const QJsonObject connection =
        takeObject(zuva_get_connection_description("TERM0001")).value("terminalConnection").toObject();
    EXPECT_EQ(connection.value("ip").toString(), "127.0.0.1");
    EXPECT_TRUE(connection.value("port").isDouble());
    EXPECT_EQ(connection.value("port").toInt(), terminal->localPort());
    EXPECT_EQ(takeText(zuva_getConnectionDescription("TERM0003")), "");

    terminal->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_EQ(host.first("disconnected"), host.first("connected"));
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), -1);
    EXPECT_EQ(listed(), QJsonArray{host.last("connected").value("terminal")});
}

TEST_F(TerminalAdvice, SocketsWithoutAnAdviceComeAndGoUnreported)
{
    {
        SimTerminal early;
        ASSERT_TRUE(early.connectTo(port));
    }
    auto announced = connectTerminal("TERM0001");
    announced->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_LT(host.position("connected"), host.position("disconnected"));
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("TERM0001") == -1; }));

    useSettings(200);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    EXPECT_TRUE(terminal.waitForPeerClose());
    // Too late: the socket is gone and nothing is reported.
    terminal.sendAdvice();
    EXPECT_EQ(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray().size(), 0);

    SimTerminal waiting;
    ASSERT_TRUE(waiting.connectTo(port));
    host.stop();
    EXPECT_TRUE(waiting.waitForPeerClose());
    EXPECT_EQ(host.count("connected"), 1u);
    EXPECT_EQ(host.count("disconnected"), 1u);
    EXPECT_EQ(host.count("stopped"), 1u);
}

TEST_F(TerminalAdvice, AdviceWithEmptyIdentifierIdentifiesNothingAndALaterValidOneStillDoes)
{
    SimTerminal anonymous;
    ASSERT_TRUE(anonymous.connectTo(port));
    SimAdvice empty;
    empty.terminalIdentifier.clear();
    anonymous.sendAdvice(empty);
    SimAdvice valid;
    valid.terminalIdentifier = "TERM0002";
    anonymous.sendAdvice(valid);
    ASSERT_TRUE(host.waitFor("connected", 1));
    EXPECT_EQ(host.last("connected").value("terminal").toObject().value("terminalIdentifier").toString(), "TERM0002");
    EXPECT_FALSE(anonymous.peerClosed());
    EXPECT_EQ(zuva_isTerminalConnected(""), -1);
}

TEST_F(TerminalAdvice, DuplicateIdentifierDropsBothConnections)
{
    auto first = connectTerminal("TERM0001");
    SimTerminal second;
    ASSERT_TRUE(second.connectTo(port));
    second.sendAdvice();
    EXPECT_TRUE(first->waitForPeerClose());
    EXPECT_TRUE(second.waitForPeerClose());
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_EQ(host.first("disconnected"), host.first("connected"));
    EXPECT_EQ(host.count("connected"), 1u);
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("TERM0001") == -1; }));

    // Once the old connections are gone the terminal is welcome again.
    auto third = connectTerminal("TERM0001", 1);
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);
    EXPECT_EQ(host.count("disconnected"), 1u);
}

namespace {

// A host that stops its service from inside the first callback of a kind.
struct StoppingHost {
    void* handle = nullptr;
    std::atomic<int> stopped{0};
    std::atomic<int> disconnected{0};

    static void stopNow(const char*, void* data)
    {
        auto* host = static_cast<StoppingHost*>(data);
        host->disconnected++;
        zuva_stopService(host->handle);
    }
    static void countStop(const char*, void* data) { static_cast<StoppingHost*>(data)->stopped++; }
};

} // namespace

TEST(ServiceLifecycle, StoppingFromInsideACallbackDoesNotHang)
{
    StoppingHost host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    host.handle = zuva_createTcpIpService(port, nullptr, &StoppingHost::countStop, nullptr, &StoppingHost::stopNow,
                                          nullptr, nullptr, &host);
    ASSERT_NE(host.handle, nullptr);
    // Stopped before host goes, also when an assertion ends the test early.
    const std::unique_ptr<void, int (*)(void*)> service(host.handle, &zuva_stopService);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    SimAdvice advice;
    advice.terminalIdentifier = "STOPPER1";
    terminal.sendAdvice(advice);
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("STOPPER1") == 0; }));
    terminal.close();
    EXPECT_TRUE(waitUntil([&] { return host.stopped == 1; }));
    EXPECT_EQ(host.disconnected, 1);
}
