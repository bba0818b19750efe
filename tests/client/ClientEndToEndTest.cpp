#include "ClientEndToEnd.h"

#include "client/ServiceInformationTransaction.h"

namespace {

using clienttest::ClientEndToEnd;
using clienttest::Results;
using testsupport::SimMessage;
using testsupport::SimTerminal;

std::string codeAndCause(const boost::optional<ect::ECTError>& error)
{
    if (!error)
        return "none";
    return std::to_string(static_cast<int>(error->code())) + "/" +
           (error->causeCode() ? std::to_string(static_cast<int>(*error->causeCode())) : "") +
           (error->incidentCode() ? " " + error->incidentCode()->code() : "");
}

// How a terminal meets the service-information request, what the host then
// reads from the result, and what isAlive answers in the same situation.
enum class Host { Waits, ResetsWhenAsked, AsksOnceGone };

struct InformationRow {
    const char* name;
    SimTerminal::Responder reply;
    Host host;
    std::string error;
    bool cashback;
    bool alive;
};

const std::vector<InformationRow>& informationRows()
{
    auto information = [](const char* capabilities) {
        return [capabilities](const SimMessage& request) {
            return SimTerminal::answer(SimTerminal::informationReplyTo(request, "ANY", "SIM-1", capabilities));
        };
    };
    static const std::vector<InformationRow> rows{
        {"cash-back on", information("10"), Host::Waits, "none", true, true},
        {"cash-back off", information("08"), Host::Waits, "none", false, true},
        {"rejection",
         [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::rejectionOf(request, "0102")); },
         Host::Waits, "1/20", false, true},
        {"incident",
         [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "2630")); },
         Host::Waits, "1/19 2630", false, true},
        {"silence", [](const SimMessage&) { return SimTerminal::silence(); }, Host::Waits, "5/", false, false},
        {"reset", [](const SimMessage&) { return SimTerminal::silence(); }, Host::ResetsWhenAsked, "2/30", false, false},
        {"closing", [](const SimMessage&) { return SimTerminal::closing(); }, Host::Waits, "2/18", false, false},
        {"not connected", [](const SimMessage&) { return SimTerminal::silence(); }, Host::AsksOnceGone, "2/15", false,
         false},
    };
    return rows;
}

TEST_F(ClientEndToEnd, ServiceInformationAndIsAliveFollowTheTerminal)
{
    int connection = 0;
    for (const InformationRow& row : informationRows()) {
        SCOPED_TRACE(row.name);
        for (const bool askAlive : {false, true}) {
            SimTerminal simulated;
            simulated.on("Ci", row.reply);
            const std::string id = "ROW" + std::to_string(++connection);
            const auto terminal = connect(simulated, id);
            ASSERT_NE(terminal, nullptr);
            if (row.host == Host::AsksOnceGone) {
                simulated.close();
                ASSERT_TRUE(listener.waitForCall("disconnected " + id));
                EXPECT_EQ(service->getTerminal(id), nullptr);
            }
            Results<ect::ServiceInformationResult> information;
            Results<bool> alive;
            if (askAlive)
                terminal->isAlive(alive.callback());
            else
                terminal->send(ect::ServiceInformationTransaction(information.callback()));
            ASSERT_TRUE(simulated.waitForRequests(row.host == Host::AsksOnceGone ? 0 : 1));
            if (row.host == Host::ResetsWhenAsked)
                terminal->resetTransaction();
            const auto deadline = std::chrono::milliseconds(9000);
            if (askAlive) {
                ASSERT_TRUE(alive.waitFor(1, deadline));
                EXPECT_EQ(alive.first(), row.alive);
            } else {
                ASSERT_TRUE(information.waitFor(1, deadline));
                EXPECT_EQ(codeAndCause(information.first().error()), row.error);
                EXPECT_EQ(information.first().cashbackEnabled(), row.cashback);
                EXPECT_EQ(information.first().terminalIdentifier(), id);
            }
        }
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
    EXPECT_EQ(codeAndCause(first.first().error()), "2/30");
}

} // namespace
