#include "client/ClientEndToEnd.h"
#include "client/ServiceInformationTransaction.h"
#include "client/mmi/MMIFlowTestSupport.h"
#include "client/mmi/ShowMessage.h"
#include "client/mmi/VerifyPin.h"
#include "client/mmi/VerifyPinFlow.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/SaleTransaction.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

using namespace clienttest;
using testsupport::SimMessage;

namespace {

using Outcome = std::function<void(const std::string&)>;

// A client flow, the requests it writes to the terminal ("Ck, Cm 28, ..."),
// what its host hears, and whether steps still run after its callback.
struct Flow {
    const char* name;
    std::function<void(ect::ZUVATerminal&, Outcome)> send;
    const char* requests;
    const char* outcome;
    bool stepsAfterCallback;
};

// How the host sends its own transaction while the flow runs: once right
// after the flow's callback, again after each refusal until it is taken,
// or all along from a thread of its own.
enum class Host { AtOnce, Resending, OtherThread };

void sendPinFlow(ect::ZUVATerminal& terminal, bool keepMMIOpen, bool followUp, Outcome outcome)
{
    ect::VerifyPinFlow flow(mmitest::Pin, "fr", 30, 1, keepMMIOpen,
                            [outcome](const ect::VerifyPinResult& result) { outcome(mmitest::summary(result)); });
    if (followUp)
        flow.setSuccessNextMessageData(5, 40, boost::none);
    terminal.send(std::move(flow));
}

const Flow flows[] = {
    {"PIN flow", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, false, false, o); },
     "Ck, Cm 28, Cm 19, Cl", "ok left=1", true},
    {"PIN flow with follow-up", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, false, true, o); },
     "Ck, Cm 28, Cm 19, Cm 40, Cl", "ok left=1", true},
    {"PIN flow kept open", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, true, true, o); },
     "Ck, Cm 28, Cm 19, Cm 40", "ok left=1", true},
    {"single PIN check",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::VerifyPin(mmitest::Pin, 30, "fr", 30,
                               [o](const ect::VerifyPinResult& result) { o(mmitest::summary(result)); }));
     },
     "Ck, Cm 30", "ok left=1", false},
    {"message",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::ShowMessage(40, "de", 5,
                                 [o](const ect::MMITransactionResult& result) { o(errorText(result.error())); }));
     },
     "Ck, Cm 40", "ok", false},
    {"sale",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"), [o](const ect::SaleResult& result) {
             o(errorText(result.error()) + " " + result.clientTicket());
         }));
     },
     "Cd, Cw", "ok TICKET\f", false},
    {"last transaction",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::LastTransactionStatusTransaction(
             [o](const ect::LastTransactionResult& result) { o(errorText(result.error()) + " " + result.clientTicket()); }));
     },
     "Ce, Cw", "ok TICKET\f", false},
};

constexpr int Rounds = 12;

class FlowOwnership : public ClientEndToEnd, public ::testing::WithParamInterface<std::tuple<int, Host>> {
protected:
    void SetUp() override
    {
        testsupport::SimSaleReplies::script(sim, TerminalId);
        testsupport::SimOperationReplies::answerAll(sim);
        answerInformation(sim, false);
        ClientEndToEnd::SetUp();
    }

    // Sends the host's information request; its result text reaches
    // hostResults, and also also when given.
    void sendHostRequest(Outcome also = nullptr)
    {
        terminal->send(ect::ServiceInformationTransaction(
            [done = hostResults.callback(), also](const ect::ServiceInformationResult& result) {
                done(errorText(result.error()));
                if (also)
                    also(errorText(result.error()));
            }));
    }

    // Sends one request, waits for its result and tells whether the terminal took it.
    bool hostRequestTaken()
    {
        Results<std::string> result;
        sendHostRequest(result.callback());
        return result.waitFor(1) && result.first() == "ok";
    }

    // The requests of the flow the terminal saw since the round began.
    std::vector<std::string> flowRequestsSince(std::size_t first) const
    {
        std::vector<std::string> described;
        const std::vector<SimMessage> all = sim.requests();
        for (std::size_t index = first; index < all.size(); ++index)
            if (all[index].type != "Ci")
                described.push_back(testsupport::SimOperationReplies::describe(all[index]));
        return described;
    }

    // One round: the flow, the host's requests, then one the terminal takes
    // (so the flow has ended).
    void runRound(const Flow& flow, Host host)
    {
        const std::size_t requestsBefore = sim.requests().size();
        hostResults = Results<std::string>();
        Results<std::string> outcome;
        Results<std::string> fromCallback;
        std::atomic<bool> flowCalledBack{false};
        // The host also sends from inside the callback, on the callback's thread.
        flow.send(*terminal, [this, done = outcome.callback(), sent = fromCallback.callback(),
                              &flowCalledBack](const std::string& text) {
            done(text);
            sendHostRequest(sent);
            flowCalledBack = true;
        });
        // Started once the flow has the terminal, so that the flow is not the one refused.
        std::thread other;
        if (host == Host::OtherThread)
            other = std::thread([&] {
                while (!flowCalledBack)
                    hostRequestTaken();
            });
        ASSERT_TRUE(outcome.waitFor(1));
        if (host == Host::AtOnce)
            sendHostRequest();
        if (host == Host::Resending)
            while (!hostRequestTaken()) {
            }
        if (other.joinable())
            other.join();
        ASSERT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(); }));
        ASSERT_TRUE(fromCallback.waitFor(1));

        EXPECT_EQ(flow.outcome, outcome.first());
        EXPECT_EQ(flow.stepsAfterCallback ? "1/14" : "ok", fromCallback.first());
        const std::vector<std::string> results = hostResults.all();
        const auto taken = std::count(results.begin(), results.end(), "ok");
        const auto refused = std::count(results.begin(), results.end(), "1/14");
        EXPECT_EQ(results.size(), static_cast<std::size_t>(taken + refused)) << mmitest::joined(results);
        // Every request the terminal saw was the flow's or a host request it took.
        const std::size_t steps = std::count(flow.requests, flow.requests + std::strlen(flow.requests), ',') + 1u;
        EXPECT_TRUE(testsupport::waitUntil([&] { return flowRequestsSince(requestsBefore).size() >= steps; },
                                           std::chrono::milliseconds(2000)));
        EXPECT_EQ(flow.requests, mmitest::joined(flowRequestsSince(requestsBefore)));
        EXPECT_EQ(requestsBefore + steps + taken, sim.requests().size());
        EXPECT_EQ(1u, outcome.count());
    }

    Results<std::string> hostResults;
};

} // namespace

// A host that sends while a flow runs never has a request written to the
// terminal and then failed, never loses a step of the flow and never makes
// a sale lose its ticket.
TEST_P(FlowOwnership, HostRequestsNeitherCollideWithNorBreakTheFlow)
{
    const Flow& flow = flows[std::get<0>(GetParam())];
    for (int round = 0; round < Rounds && !HasFailure(); ++round) {
        SCOPED_TRACE(std::string(flow.name) + ", round " + std::to_string(round));
        runRound(flow, std::get<1>(GetParam()));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFlow, FlowOwnership,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(flows))),
                                            ::testing::Values(Host::AtOnce, Host::Resending, Host::OtherThread)));
