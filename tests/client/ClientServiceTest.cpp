#include "ClientEndToEnd.h"

#include "client/ServiceInformationTransaction.h"
#include "client/VersionInfo.h"
#include "client/ZUVATerminalImpl.h"

namespace {

using clienttest::ClientEndToEnd;
using clienttest::RecordingListener;
using clienttest::Results;
using testsupport::SimTerminal;

std::vector<std::string> idsOf(const std::vector<std::shared_ptr<ect::ZUVATerminal>>& terminals)
{
    std::vector<std::string> ids;
    for (const auto& terminal : terminals)
        ids.push_back(terminal->terminalId());
    return ids;
}

TEST_F(ClientEndToEnd, ReportsTheTerminalWithItsDescriptionsAndStopsInOrder)
{
    EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "connected TERM0001"}));
    EXPECT_EQ(terminal->model() + " " + terminal->serialNumber() + " " + terminal->softwareVersion(),
              "SIM-1 SN0001 1.0.0");
    Json::Value description;
    ASSERT_TRUE(ect::parseJson(terminal->getConnectionDescription(), description));
    EXPECT_EQ(description["terminalConnection"]["ip"], "127.0.0.1");
    EXPECT_EQ(description["terminalConnection"]["port"], sim.localPort());
    EXPECT_EQ(ect::getLibraryVersion(), "2.2.0");

    service->stopService();
    EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "connected TERM0001", "disconnected TERM0001",
                                                          "stopped"}));
    EXPECT_TRUE(service->connectedTerminals().empty());
    EXPECT_EQ(terminal->getConnectionDescription(), "");
}

TEST_F(ClientEndToEnd, AFailedSecondStartKeepsTheRunningServiceAndStopStopsAll)
{
    RecordingListener other;
    ect::makeTcpIpZUVAService(port, other)->startService();
    EXPECT_EQ(other.calls(), std::vector<std::string>{"error 2/1 +reason"});
    service->startService(); // the port is taken by this very service
    EXPECT_EQ(listener.calls().back(), "error 2/1 +reason");
    EXPECT_TRUE(terminal->connected());
    service->stopService();
    EXPECT_EQ(listener.count("stopped"), 1u);
    EXPECT_FALSE(terminal->connected());

    const auto anyPort = ect::makeTcpIpZUVAService(0, other); // each start listens on a port of its own
    anyPort->startService();
    anyPort->startService();
    anyPort->stopService();
    EXPECT_EQ(other.count("stopped"), 2u);
}

TEST_F(ClientEndToEnd, ServicesSharingAListenerListTogetherAndForgetOnlyTheirOwn)
{
    const uint16_t secondPort = SimTerminal::freeLoopbackPort();
    auto second = ect::makeTcpIpZUVAService(secondPort, listener);
    second->startService();
    SimTerminal other;
    ASSERT_NE(connect(other, "TERM0002", secondPort), nullptr);

    const std::vector<std::string> both{"TERM0001", "TERM0002"};
    EXPECT_EQ(idsOf(service->connectedTerminals()), both);
    EXPECT_EQ(idsOf(second->connectedTerminals()), both);
    EXPECT_EQ(service->getTerminal("TERM0002")->terminalId(), "TERM0002");
    EXPECT_EQ(service->getTerminal(""), nullptr);
    EXPECT_EQ(ect::getTerminal("TERM0001"), terminal);

    second->stopService();
    EXPECT_EQ(idsOf(service->connectedTerminals()), std::vector<std::string>{"TERM0001"});
    EXPECT_EQ(ect::getTerminal("TERM0002"), nullptr);
    EXPECT_EQ(idsOf(ect::connectedTerminals()), std::vector<std::string>{"TERM0001"});
}

TEST_F(ClientEndToEnd, EventsFlowOnlyWhileEnabled)
{
    answerInformation(sim, true);
    terminal->enableNotifications(true);
    sim.sendSynchronizationAdvice("02");
    ASSERT_TRUE(listener.waitForCall("event TERM0001 02"));
    terminal->enableNotifications(false);
    sim.sendSynchronizationAdvice("03");
    // A full round trip after the advice: it has been handled by then.
    resultOf<ect::ServiceInformationResult>([](auto done) { return ect::ServiceInformationTransaction(done); });
    EXPECT_EQ(listener.count("event TERM0001 03"), 0u);
}

TEST_F(ClientEndToEnd, SettingsRoundTripWithSixtyFourBitCounts)
{
    const ect::Settings original = service->settings();
    ect::Settings changed = original;
    changed.cardRecognitionTimeout = 5000000000LL;
    changed.displayResultTimeout = -3;
    service->updateSettings(changed);
    const ect::Settings read = service->settings();
    service->updateSettings(original);
    EXPECT_EQ(read.cardRecognitionTimeout, 5000000000LL);
    EXPECT_EQ(read.displayResultTimeout, -3);
}

// A transaction that, when its result arrives, starts a service-information
// request on the same terminal through its terminal context.
class ChainingTransaction
    : public ect::ServiceTransaction<ChainingTransaction, ect::ServiceInformationResult,
                                     std::function<void(const ect::ServiceInformationResult&)>> {
public:
    ChainingTransaction(Callback first, Callback followUp)
        : ServiceTransaction(ect::makeRequest("InformationService", "InformationService"), std::move(first))
    {
        extra() = std::move(followUp);
    }
    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override
    {
        ServiceTransaction::endTransaction(reply, respond);
        terminal()->makeTransaction(ect::ServiceInformationTransaction(extra()));
        return true;
    }

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

TEST_F(ClientEndToEnd, AFollowUpAfterTheTerminalObjectIsGoneStillRuns)
{
    std::atomic<int> asked{0};
    sim.on("Ci", [&asked](const testsupport::SimMessage& request) {
        return ++asked == 1 ? SimTerminal::silence()
                            : SimTerminal::answer(SimTerminal::informationReplyTo(request, "T", "M", "10"));
    });
    // A second object for the connected terminal, which nothing else holds.
    auto object = std::make_shared<ect::ZUVATerminalImpl>(TerminalId, "", "", "", "", "");
    const std::weak_ptr<ect::ZUVATerminal> gone = object;
    Results<ect::ServiceInformationResult> first, followUp;
    object->send(ChainingTransaction(first.callback(), followUp.callback()));
    object.reset();
    ASSERT_TRUE(sim.waitForRequests(1));
    EXPECT_TRUE(gone.expired());
    terminal->resetTransaction();
    ASSERT_TRUE(followUp.waitFor(1));
    EXPECT_EQ(first.first().error().value().causeCode(), ect::ECTErrorCauseCode::ResetTransaction);
    EXPECT_FALSE(followUp.first().error());
    EXPECT_TRUE(followUp.first().cashbackEnabled());
}

TEST_F(ClientEndToEnd, WhatHostCallbacksThrowStaysOutOfTheLibrary)
{
    answerInformation(sim, false);
    terminal->send(ect::ServiceInformationTransaction(nullptr)); // an empty callback
    terminal->send(ect::ServiceInformationTransaction([](const auto&) { throw std::runtime_error("host"); }));
    terminal->isAlive([](bool) { throw 42; });
    Results<bool> alive; // answered, or busy with the others: alive either way
    terminal->isAlive(alive.callback());
    ASSERT_TRUE(alive.waitFor(1));
    EXPECT_TRUE(alive.first());
}

// ect::cleanup ends the Qt application holder, so it runs once every test has run.
class CleanupStopsTheRunningService : public ::testing::Environment {
public:
    void TearDown() override
    {
        RecordingListener listener;
        auto service = ect::makeTcpIpZUVAService(SimTerminal::freeLoopbackPort(), listener);
        service->startService();
        ect::cleanup();
        EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "stopped"}));
        service->stopService();
        EXPECT_EQ(listener.count("stopped"), 1u);
    }
};

::testing::Environment* const cleanupCheck = ::testing::AddGlobalTestEnvironment(new CleanupStopsTheRunningService);

} // namespace
