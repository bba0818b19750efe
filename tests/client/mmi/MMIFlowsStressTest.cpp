#include "MMIFlowTestSupport.h"
#include "client/ClientEndToEnd.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/VerifyPinFlow.h"
#include "simterminal/SimOperationReplies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace ect;
using testsupport::SimTerminal;

namespace {

constexpr int Terminals = 20;
constexpr int FlowsPerTerminal = 10;

struct Tally {
    std::mutex mutex;
    std::map<std::string, std::vector<std::string>> outcomes; // host calls per "terminal/flow"
    int chainsDone = 0;
};

// Each flow keeps the MMI open; the host closes it and starts the next flow
// from that close's result, when the terminal is free again. The callbacks
// hold the terminal: that must not keep it alive after the service stopped.
void runFlows(const std::shared_ptr<ZUVATerminal>& terminal, int flow, Tally& tally)
{
    terminal->send(VerifyPinFlow(mmitest::Pin, "fr", 30, 3, true, [=, &tally](const VerifyPinResult& result) {
        {
            std::lock_guard<std::mutex> lock(tally.mutex);
            tally.outcomes[terminal->terminalId() + "/" + std::to_string(flow)].push_back(mmitest::summary(result));
        }
        terminal->send(MMICloseTransaction([=, &tally](const MMITransactionResult&) {
            if (flow + 1 < FlowsPerTerminal)
                return runFlows(terminal, flow + 1, tally);
            std::lock_guard<std::mutex> lock(tally.mutex);
            ++tally.chainsDone;
        }));
    }));
}

} // namespace

TEST(MMIFlowsStress, TwentyTerminalsRunTenFlowsEach)
{
    clienttest::RecordingListener listener;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    const auto service = makeTcpIpZUVAService(port, listener);
    service->startService();
    std::vector<std::unique_ptr<SimTerminal>> sims;
    std::vector<std::weak_ptr<ZUVATerminal>> terminals;
    for (int index = 0; index < Terminals; ++index) {
        sims.push_back(std::make_unique<SimTerminal>());
        testsupport::SimOperationReplies::answerAll(*sims.back());
        std::vector<std::string> endings;
        for (int flow = 0; flow < FlowsPerTerminal; ++flow)
            endings.insert(endings.end(), {"2630", "00"});
        sims.back()->on("Cm", testsupport::SimOperationReplies::pinEntries(endings));
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = "STRESS" + std::to_string(index);
        ASSERT_TRUE(sims.back()->connectTo(port) && sims.back()->sendAdvice(advice));
        terminals.push_back(listener.waitForTerminal(advice.terminalIdentifier));
        ASSERT_FALSE(terminals.back().expired());
    }
    Tally tally;
    for (const auto& terminal : terminals)
        runFlows(terminal.lock(), 0, tally);

    EXPECT_TRUE(testsupport::waitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(tally.mutex);
            return tally.chainsDone == Terminals;
        },
        std::chrono::milliseconds(60000)));
    service->stopService();
    std::lock_guard<std::mutex> lock(tally.mutex);
    EXPECT_EQ(static_cast<size_t>(Terminals * FlowsPerTerminal), tally.outcomes.size());
    for (const auto& flow : tally.outcomes)
        EXPECT_EQ(std::vector<std::string>{"ok left=2"}, flow.second) << flow.first;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return std::all_of(terminals.begin(), terminals.end(), [](const auto& terminal) { return terminal.expired(); });
    }));
}
