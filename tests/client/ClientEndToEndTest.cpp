#include "ClientEndToEnd.h"

#include "client/ServiceInformationTransaction.h"

namespace {

using clienttest::ClientEndToEnd;
using clienttest::Results;
using testsupport::SimMessage;
using testsupport::SimTerminal;

// How a terminal meets the service-information request that isAlive sends.
enum class Host { Waits, ResetsWhenAsked, AsksOnceGone };

struct AliveRow {
    const char* name;
    SimTerminal::Responder reply;
    Host host;
    bool alive;
};

TEST_F(ClientEndToEnd, IsAliveWhenTheTerminalAnswersAtAll)
{
    const AliveRow rows[] = {
        {"information",
         [](const SimMessage& request) {
             return SimTerminal::answer(SimTerminal::informationReplyTo(request, "ANY", "SIM-1", "10"));
         },
         Host::Waits, true},
        {"rejection",
         [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::rejectionOf(request, "0102")); },
         Host::Waits, true},
        {"incident",
         [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "2630")); },
         Host::Waits, true},
        {"silence", [](const SimMessage&) { return SimTerminal::silence(); }, Host::Waits, false},
        {"reset", [](const SimMessage&) { return SimTerminal::silence(); }, Host::ResetsWhenAsked, false},
        {"closing", [](const SimMessage&) { return SimTerminal::closing(); }, Host::Waits, false},
        {"not connected", [](const SimMessage&) { return SimTerminal::silence(); }, Host::AsksOnceGone, false},
    };
    for (const AliveRow& row : rows) {
        SCOPED_TRACE(row.name);
        SimTerminal simulated;
        simulated.on("Ci", row.reply);
        const std::string id = std::string("ROW-") + row.name;
        const auto terminal = connect(simulated, id);
        ASSERT_NE(terminal, nullptr);
        if (row.host == Host::AsksOnceGone) {
            simulated.close();
            ASSERT_TRUE(listener.waitForCall("disconnected " + id));
            EXPECT_EQ(service->getTerminal(id), nullptr);
        }
        Results<bool> alive;
        terminal->isAlive(alive.callback());
        ASSERT_TRUE(simulated.waitForRequests(row.host == Host::AsksOnceGone ? 0 : 1));
        if (row.host == Host::ResetsWhenAsked)
            terminal->resetTransaction();
        ASSERT_TRUE(alive.waitFor(1, std::chrono::milliseconds(9000)));
        EXPECT_EQ(alive.first(), row.alive);
    }
}

TEST_F(ClientEndToEnd, ABusyTerminalIsAlive)
{
    sim.on("Ci", [](const SimMessage&) { return SimTerminal::silence(); });
    Results<ect::ServiceInformationResult> first;
    terminal->send(ect::ServiceInformationTransaction(first.callback()));
    ASSERT_TRUE(sim.waitForRequests(1));
    Results<bool> alive;
    terminal->isAlive(alive.callback());
    ASSERT_TRUE(alive.waitFor(1));
    EXPECT_TRUE(alive.first());
    terminal->resetTransaction();
    ASSERT_TRUE(first.waitFor(1));
    EXPECT_EQ(first.first().error().value().causeCode(), ect::ECTErrorCauseCode::ResetTransaction);
}

} // namespace
