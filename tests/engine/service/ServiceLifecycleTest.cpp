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

// An advice without an identifier identifies nothing; one without a device type leaves it out.
TEST_F(TerminalAdvice, AdviceInTimeReportsTheTerminalDescriptionAndAnnouncedTerminalsAreListed)
{
    auto terminal = connectTerminal("TERM0001");
    SimTerminal second;
    ASSERT_TRUE(second.connectTo(port));
    SimAdvice advice;
    advice.terminalIdentifier.clear();
    second.sendAdvice(advice);
    advice.terminalIdentifier = "TERM0002";
    advice.deviceTypeHex.clear();
    second.sendAdvice(advice);
    ASSERT_TRUE(host.waitFor("connected", 2));
    const QJsonObject description = host.first("connected").value("terminal").toObject();
    EXPECT_EQ(description, (QJsonObject{{"deviceType", "04"}, {"deviceTypeName", "Terminal"},
                                        {"terminalIdentifier", "TERM0001"}, {"terminalModel", "SIM-1"},
                                        {"terminalSerialNumber", "SN0001"}, {"softwareVersion", "1.0.0"}}));
    const QJsonValue secondDescription = host.last("connected").value("terminal");
    EXPECT_EQ(secondDescription.toObject(), (QJsonObject{{"terminalIdentifier", "TERM0002"}, {"terminalModel", "SIM-1"},
                                                         {"terminalSerialNumber", "SN0001"}, {"softwareVersion", "1.0.0"}}));
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);
    EXPECT_EQ(zuva_is_terminal_connected(""), -1);
    EXPECT_EQ(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray(),
              (QJsonArray{description, secondDescription}));
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
