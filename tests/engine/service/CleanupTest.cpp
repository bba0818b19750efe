#include "ServiceFixture.h"

using namespace testsupport;

// Runs last (last file of the executable): the Qt application holder is gone afterwards.
TEST(Cleanup, StopsEveryServiceStillRunning)
{
    HostRecorder first;
    HostRecorder second;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    ASSERT_NE(first.start(port), nullptr);
    ASSERT_NE(second.start(SimTerminal::freeLoopbackPort()), nullptr);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    terminal.sendAdvice();
    ASSERT_TRUE(first.waitFor("connected", 1));
    ASSERT_EQ(first.send("TERM0001", "{\"transaction\": {\"action\": \"InformationService\"}}"), 0);
    ASSERT_TRUE(terminal.waitForRequests(1));

    zuva_clean_up();
    EXPECT_EQ(first.count("result"), 1u);
    EXPECT_EQ(first.count("disconnected"), 1u);
    EXPECT_EQ(first.count("stopped"), 1u);
    EXPECT_EQ(second.count("stopped"), 1u);
    EXPECT_LT(first.position("disconnected"), first.position("stopped"));
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), -1);

    // The handles are gone: stopping again reports nothing.
    first.stop();
    second.stop();
    EXPECT_EQ(first.count("stopped"), 1u);
    zuva_cleanup();
}
