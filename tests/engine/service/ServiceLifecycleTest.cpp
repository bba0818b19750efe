#include "ServiceFixture.h"

#include <atomic>

using namespace testsupport;

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
