#include "ServiceFixture.h"

using namespace testsupport;

namespace {

// zuva_cleanup ends the Qt application holder, so it is checked once every
// test of the executable has run, in the global tear-down.
class CleanupStopsEveryService : public ::testing::Environment {
public:
    void TearDown() override
    {
        HostRecorder first;
        HostRecorder second;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        ASSERT_NE(first.start(port), nullptr);
        ASSERT_NE(second.start(SimTerminal::freeLoopbackPort()), nullptr);
        SimTerminal terminal;
        ASSERT_TRUE(terminal.connectTo(port));
        SimAdvice advice;
        advice.terminalIdentifier = "CLEANUP1";
        terminal.sendAdvice(advice);
        ASSERT_TRUE(first.waitFor("connected", 1));
        ASSERT_EQ(first.send("CLEANUP1", "{\"transaction\": {\"action\": \"InformationService\"}}"), 0);
        ASSERT_TRUE(terminal.waitForRequests(1));

        zuva_clean_up();
        EXPECT_EQ(first.count("result"), 1u);
        EXPECT_EQ(first.count("disconnected"), 1u);
        EXPECT_EQ(first.count("stopped"), 1u);
        EXPECT_EQ(second.count("stopped"), 1u);
        EXPECT_LT(first.position("result"), first.position("disconnected"));
        EXPECT_LT(first.position("disconnected"), first.position("stopped"));
        EXPECT_EQ(zuva_isTerminalConnected("CLEANUP1"), -1);

        // The handles are gone: stopping again reports nothing.
        first.stop();
        second.stop();
        EXPECT_EQ(first.count("stopped"), 1u);
        zuva_cleanup();
    }
};

::testing::Environment* const cleanupCheck = ::testing::AddGlobalTestEnvironment(new CleanupStopsEveryService);

} // namespace
