#include "MMIFlowTestSupport.h"
#include "client/ClientEndToEnd.h"
#include "client/mmi/CancelPasswordValidation.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/ResetScreen.h"
#include "client/mmi/ShowMessage.h"
#include "client/mmi/VerifyPin.h"
#include "client/mmi/VerifyPinFlow.h"
#include "simterminal/SimOperationReplies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace ect;
using namespace mmitest;
using clienttest::Results;
using testsupport::SimMessage;
using testsupport::SimOperationReplies;
using testsupport::SimTerminal;
using testsupport::toHex;

namespace {

// "Ck, Cm 26, Cl": each request's type and its display's first text.
std::string describe(const std::vector<SimMessage>& requests)
{
    std::vector<std::string> described;
    for (const SimMessage& request : requests)
        described.push_back(SimOperationReplies::describe(request));
    return joined(described);
}

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
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 3, true, [=, &tally](const VerifyPinResult& result) {
        {
            std::lock_guard<std::mutex> lock(tally.mutex);
            tally.outcomes[terminal->terminalId() + "/" + std::to_string(flow)].push_back(summary(result));
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

class MMIFlowsEndToEnd : public clienttest::ClientEndToEnd {
protected:
    void SetUp() override
    {
        ClientEndToEnd::SetUp();
        SimOperationReplies::answerAll(sim);
    }

    // Waits for the host's one call and the terminal's requests.
    void expectFlow(const std::string& host, const std::vector<std::string>& requests)
    {
        ASSERT_TRUE(pins.waitFor(1));
        ASSERT_TRUE(sim.waitForRequests(requests.size()));
        EXPECT_EQ(joined(requests), describe(sim.requests()));
        EXPECT_EQ(host, summary(pins.first()));
        EXPECT_EQ(1u, pins.count());
    }

    Results<VerifyPinResult> pins;
};

// The host lets go of the terminal right after send.
TEST_F(MMIFlowsEndToEnd, TwoAttempts)
{
    sim.on("Cm", SimOperationReplies::pinEntries({"2630", "00"}));
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 2, false, pins.callback()));
    terminal.reset();
    expectFlow("ok left=1", {"Ck", "Cm 26", "Cm 28", "Cm 19", "Cl"});
}

// The closing screen shows for the result time in force when it starts.
TEST_F(MMIFlowsEndToEnd, AcceptedAtTheThirdAttemptByteForByte)
{
    const Settings original = service->settings();
    Settings changed = original;
    changed.displayResultTimeout = 7;
    service->updateSettings(changed);
    sim.on("Cm", SimOperationReplies::pinEntries({"2630", "2630", "00"}));
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 3, false, pins.callback()));
    expectFlow("ok left=1", {"Ck", "Cm 26", "Cm 27", "Cm 28", "Cm 19", "Cl"});
    service->updateSettings(original);
    const std::vector<SimMessage> requests = sim.requests();
    EXPECT_EQ("F05EE107D002436DD10102BF810928DF9414020030DF9415020030BF810B0ADF941B0126DF1A026672BF810D0ADF941B0114"
              "DF1A026672BF810725DF9257080123456789ABCDEFDF940804001122338F0101DF940A0AFFFF9876543210E00001",
              toHex(requests.at(1).body));
    EXPECT_EQ("F035E107D002436DD10105BF810928DF9414020007DF9415020007BF810B0ADF941B0119DF1A026672BF810D0ADF941B0114"
              "DF1A026672",
              toHex(requests.at(4).body));
}

// A PIN entry the terminal ends with a key other than OK is no accepted PIN,
// in either flow.
TEST_F(MMIFlowsEndToEnd, OnlyTheOkKeyAcceptsThePin)
{
    const std::pair<const char*, const char*> rows[] = {
        {"00", "ok left=1"}, {"02", "2/16 left=1"}, {"0001", "2/16 left=1"}, {"", "2/16 left=1"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const std::string key = row.first;
        sim.on("Cm", [key](const SimMessage& request) {
            return SimTerminal::answer(SimOperationReplies::displayReplyTo(request, request.find("BF8107") ? key : "00"));
        });
        Results<VerifyPinResult> single;
        Results<VerifyPinResult> flow;
        Results<MMITransactionResult> closed;
        terminal->send(VerifyPinFlow(Pin, "fr", 30, 1, true, flow.callback()));
        ASSERT_TRUE(flow.waitFor(1));
        terminal->send(MMICloseTransaction(closed.callback())); // frees the terminal once it has ended
        ASSERT_TRUE(closed.waitFor(1));
        terminal->send(VerifyPin(Pin, 26, "fr", 30, single.callback()));
        ASSERT_TRUE(single.waitFor(1));
        EXPECT_EQ(std::string(row.second) + " " + row.second, summary(single.first()) + " " + summary(flow.first()));
    }
}

TEST_F(MMIFlowsEndToEnd, RefusedOpen)
{
    sim.on("Ck", [](const SimMessage& r) { return SimTerminal::answer(SimTerminal::rejectionOf(r, "05")); });
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 3, false, pins.callback()));
    expectFlow("1/20 rej=05 left=3", {"Ck"});
    // A message whose display the terminal refuses: the host hears its error once.
    Results<MMITransactionResult> shown;
    terminal->send(ShowMessage(40, "de", 5, shown.callback()));
    ASSERT_TRUE(shown.waitFor(1));
    EXPECT_EQ("1/20 rej=05", errorText(shown.first().error()));
    EXPECT_EQ("Ck, Ck", describe(sim.requests()));
}

// The cash register gives up the PIN entry in flight: no attempt is used up,
// and the display closes.
TEST_F(MMIFlowsEndToEnd, CancelledPinEntry)
{
    sim.on("Cm", SimOperationReplies::pinEntries({""}));
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 3, false, pins.callback()));
    ASSERT_TRUE(sim.waitForRequests(2));
    terminal->send(CancelPasswordValidation());
    expectFlow("1/31 left=3", {"Ck", "Cm 26", "Cm 06", "Cl"});
}

// The terminal repeats an earlier flow's "PIN accepted" while the next
// flow's PIN entry waits: that flow ends with its own answer, a wrong PIN.
TEST_F(MMIFlowsEndToEnd, AnEarlierFlowsAcceptedPinRepeatedIsNoAnswer)
{
    const auto firstEntry = std::make_shared<SimMessage>();
    sim.on("Cm", [firstEntry](const SimMessage& request) {
        if (!request.find("BF8107") || firstEntry->type.empty()) {
            if (request.find("BF8107"))
                *firstEntry = request;
            return SimTerminal::answer(SimOperationReplies::displayReplyTo(request, "00"));
        }
        return SimTerminal::Reply{{SimOperationReplies::displayReplyTo(*firstEntry, "00"),
                                   SimTerminal::incidentReplyTo(request, "2630")}};
    });
    Results<VerifyPinResult> next;
    // The next flow goes out once the terminal is free again.
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 1, false, [&, done = pins.callback()](const VerifyPinResult& result) {
        done(result);
        terminal->send(MMICloseTransaction([&](const MMITransactionResult&) {
            terminal->send(VerifyPinFlow(Pin, "fr", 30, 1, false, next.callback()));
        }));
    }));
    ASSERT_TRUE(next.waitFor(1));
    EXPECT_EQ("ok left=1", summary(pins.first()));
    EXPECT_EQ("1/19 2630 left=0", summary(next.first()));
    EXPECT_EQ(1u, next.count());
}

TEST_F(MMIFlowsEndToEnd, ResetScreenDuringADisplay)
{
    sim.on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    Results<MMITransactionResult> shown;
    terminal->send(ShowMessage(40, "de", 5, shown.callback()));
    ASSERT_TRUE(sim.waitForRequests(2));
    terminal->send(ResetScreen());
    ASSERT_TRUE(shown.waitFor(1));
    EXPECT_EQ(ECTErrorCauseCode::ResetTransaction, shown.first().error().value().causeCode().value());
    ASSERT_TRUE(sim.waitForRequests(3));
    EXPECT_EQ("Ck, Cm 40, Cl", describe(sim.requests()));
}

// Nobody holds the terminal object when the prompt is due: the steps still
// reach the library, which refuses them or fails them with the connection.
TEST_F(MMIFlowsEndToEnd, TerminalLostAfterTheOpen)
{
    sim.on("Ck", [](const SimMessage& request) { return SimTerminal::Reply{{SimTerminal::replyTo(request)}, true}; });
    terminal->send(VerifyPinFlow(Pin, "fr", 30, 3, false, pins.callback()));
    terminal.reset();
    ASSERT_TRUE(pins.waitFor(1));
    EXPECT_EQ(ECTErrorCode::Technical_Issue, pins.first().error().value().code());
    EXPECT_EQ(3, pins.first().attemptsLeft());
    ASSERT_TRUE(listener.waitForCall("disconnected TERM0001"));
    EXPECT_EQ(1u, pins.count());
}

class MMIFlowsStress : public clienttest::ClientEndToEnd {};

TEST_F(MMIFlowsStress, TwentyTerminalsRunTenFlowsEach)
{
    std::vector<std::unique_ptr<SimTerminal>> sims;
    std::vector<std::weak_ptr<ZUVATerminal>> terminals;
    for (int index = 0; index < Terminals; ++index) {
        sims.push_back(std::make_unique<SimTerminal>());
        testsupport::SimOperationReplies::answerAll(*sims.back());
        std::vector<std::string> endings;
        for (int flow = 0; flow < FlowsPerTerminal; ++flow)
            endings.insert(endings.end(), {"2630", "00"});
        sims.back()->on("Cm", testsupport::SimOperationReplies::pinEntries(endings));
        terminals.push_back(connect(*sims.back(), "STRESS" + std::to_string(index)));
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
