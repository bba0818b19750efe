#include "ClientEndToEnd.h"

#include "client/ConnectedTerminalsList.h"
#include "client/JsonObjectFactory.h"
#include "client/ServiceInformationTransaction.h"
#include "client/VersionInfo.h"
#include "client/ZUVAServiceImpl.h"
#include "client/ZUVATerminalImpl.h"
#include "client/mmi/VerifyPinFlow.h"
#include "client/transactions/SaleTransaction.h"
#include "mmi/MMIFlowTestSupport.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimSerialTerminal.h"

#include <atomic>
#include <thread>

namespace {

using clienttest::ClientEndToEnd;
using clienttest::errorText;
using clienttest::RecordingListener;
using clienttest::Results;
using testsupport::SimMessage;
using testsupport::SimTerminal;

std::vector<std::string> idsOf(const std::vector<std::shared_ptr<ect::ZUVATerminal>>& terminals)
{
    std::vector<std::string> ids;
    for (const auto& terminal : terminals)
        ids.push_back(terminal->terminalId());
    return ids;
}

// The terminal as reported, then a start on a taken port, then the stop.
TEST_F(ClientEndToEnd, AFailedSecondStartKeepsTheRunningServiceAndStopStopsAll)
{
    EXPECT_EQ(terminal->model() + " " + terminal->serialNumber() + " " + terminal->softwareVersion(),
              "SIM-1 SN0001 1.0.0");
    Json::Value description;
    ASSERT_TRUE(ect::parseJson(terminal->getConnectionDescription(), description));
    EXPECT_EQ(description["terminalConnection"]["ip"], "127.0.0.1");
    EXPECT_EQ(description["terminalConnection"]["port"], sim.localPort());
    EXPECT_EQ(ect::getLibraryVersion(), "2.2.0");

    RecordingListener other;
    const auto taken = ect::makeTcpIpZUVAService(port, other);
    taken->startService();
    EXPECT_EQ(other.calls(), std::vector<std::string>{"error 2/1 +reason"});
    service->startService(); // the port is taken by this very service
    EXPECT_TRUE(terminal->connected());
    service->stopService();
    EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "connected TERM0001", "error 2/1 +reason",
                                                          "disconnected TERM0001", "stopped"}));
    EXPECT_TRUE(service->connectedTerminals().empty());
    EXPECT_FALSE(terminal->connected());
    EXPECT_EQ(terminal->getConnectionDescription(), "");

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

    // The first identifier again, through the second service: listed once, the newer standing.
    SimTerminal again;
    testsupport::SimAdvice advice;
    advice.serialNumber = "SN0002";
    ASSERT_NE(connect(again, "TERM0001", secondPort, advice), nullptr);
    EXPECT_EQ(idsOf(service->connectedTerminals()), both);
    EXPECT_EQ(idsOf(ect::connectedTerminals()), both);
    const auto newer = ect::getTerminal("TERM0001");
    ASSERT_NE(newer, nullptr);
    EXPECT_EQ(newer->serialNumber(), "SN0002");

    second->stopService();
    EXPECT_EQ(idsOf(service->connectedTerminals()), std::vector<std::string>{"TERM0001"});
    const auto older = ect::getTerminal("TERM0001");
    ASSERT_NE(older, nullptr);
    EXPECT_EQ(older->serialNumber(), "SN0001");
    EXPECT_EQ(ect::getTerminal("TERM0002"), nullptr);
    EXPECT_EQ(idsOf(ect::connectedTerminals()), std::vector<std::string>{"TERM0001"});
}

// A terminal that announces another identifier on its connection is told
// gone under the one it had, then connected, and listed under the new one only.
TEST_F(ClientEndToEnd, AnotherIdentifierOnTheConnectionReplacesTheListedTerminal)
{
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = "TERM0009";
    sim.sendAdvice(advice);
    ASSERT_TRUE(listener.waitForCall("connected TERM0009"));
    EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "connected TERM0001", "disconnected TERM0001",
                                                          "connected TERM0009"}));
    EXPECT_EQ(idsOf(service->connectedTerminals()), std::vector<std::string>{"TERM0009"});
    EXPECT_EQ(ect::getTerminal("TERM0001"), nullptr);
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
        {"silence", [](const SimMessage&) { return SimTerminal::silence(); }, Host::Waits, false},
        {"reset", [](const SimMessage&) { return SimTerminal::silence(); }, Host::ResetsWhenAsked, false},
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

// A listener that records, then throws, as a careless host might.
class ThrowingListener : public RecordingListener {
public:
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        RecordingListener::onTerminalConnected(terminal);
        throw std::runtime_error("host");
    }
};

TEST(ClientServiceCallbacks, DropEmptyTerminalsContainThrowsAndReadTheErrorText)
{
    ThrowingListener listener;
    ect::ZUVAServiceImpl::Callbacks callbacks{};
    void* userData = nullptr;
    static int handle;
    ect::ZUVAServiceImpl service(listener, [&](const ect::ZUVAServiceImpl::Callbacks& given, void* data) {
        callbacks = given;
        userData = data;
        given.started("{}", data);
        return static_cast<void*>(&handle);
    });
    service.startService();
    callbacks.connected(R"({"terminal":{"deviceType":"04"}})", userData);
    callbacks.connected("no json", userData);
    callbacks.disconnected(R"({"terminal":{}})", userData);
    callbacks.connected(R"({"terminal":{"terminalIdentifier":"FAKE1"}})", userData);
    callbacks.error(R"({"error":{"code":2,"causeCode":1,"extraInformation":[{"key":"reason","val":"taken"}]}})",
                    userData);
    callbacks.error("{}", userData);
    EXPECT_EQ(listener.calls(),
              (std::vector<std::string>{"started", "connected FAKE1", "error 2/1 +reason", "error 2/"}));
    ASSERT_EQ(service.connectedTerminals().size(), 1u);

    callbacks.stopped("{}", userData); // releases the user data
    EXPECT_TRUE(service.connectedTerminals().empty());
    service.stopService(); // already stopped: the handle is not used again
    EXPECT_EQ(listener.count("stopped"), 1u);
}

// A stopped service's key may come back with a later service (its address
// reused): that service's terminals are listed under its own listener.
TEST(ConnectedTerminals, AKeyUsedAgainAfterItsServiceStoppedListsUnderTheNewListener)
{
    RecordingListener stopped, started;
    int key = 0;
    ect::ConnectedTerminalsList& list = ect::ConnectedTerminalsList::getInstance();
    list.add(ect::MakeZUVATerminalFromJSon(R"({"terminal":{"terminalIdentifier":"KEY1"}})"), &key, &stopped);
    list.removeService(&key);
    list.add(ect::MakeZUVATerminalFromJSon(R"({"terminal":{"terminalIdentifier":"KEY2"}})"), &key, &started);
    EXPECT_TRUE(list.connectedTerminalsFor(stopped).empty());
    EXPECT_EQ(idsOf(list.connectedTerminalsFor(started)), std::vector<std::string>{"KEY2"});
    list.removeService(&key);
}

// A sale with its ticket and a PIN flow over a serial line at the default or the given rate.
TEST(ClientSerialService, DescribesTheLineAtTheDefaultOrGivenRate)
{
    for (const int baudRate : {0, 19200}) {
        SCOPED_TRACE(baudRate);
        testsupport::SimSerialTerminal line;
        ASSERT_TRUE(line.isOpen());
        line.identifyAs("SERIAL01");
        line.on("Cd", [](const SimMessage& request) {
            return SimTerminal::answer(testsupport::SimSaleReplies::saleReplyTo(request, "SERIAL01"));
        });
        line.on("Cw", [](const SimMessage& request) {
            return SimTerminal::answer(testsupport::SimOperationReplies::ticketReplyTo(request, {"TICKET\f"}));
        });
        for (const char* type : {"Ck", "Cl"})
            line.on(type, [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); });
        line.on("Cm", testsupport::SimOperationReplies::pinEntries({"2630", "00"}));
        RecordingListener listener;
        const std::string name = line.portName();
        const auto service = baudRate ? ect::makeSerialZUVAService(name, baudRate, listener)
                                      : ect::makeSerialZUVAService(name, listener);
        service->startService();
        const auto terminal = listener.waitForTerminal("SERIAL01");
        ASSERT_NE(terminal, nullptr);
        Json::Value description;
        ASSERT_TRUE(ect::parseJson(terminal->getConnectionDescription(), description));
        EXPECT_EQ(description["terminalConnection"]["port"], name);
        EXPECT_EQ(description["terminalConnection"]["baud"], baudRate ? baudRate : 9600);

        Results<ect::SaleResult> sale;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.5"), sale.callback()));
        ASSERT_TRUE(sale.waitFor(1, std::chrono::seconds(10)));
        EXPECT_EQ(errorText(sale.first().error()) + " " + sale.first().clientTicket() + sale.first().terminalIdentifier(),
                  "ok TICKET\fSERIAL01");
        Results<ect::VerifyPinResult> pin;
        terminal->send(ect::VerifyPinFlow(mmitest::Pin, "fr", 30, 3, false, pin.callback()));
        ASSERT_TRUE(pin.waitFor(1, std::chrono::seconds(15)));
        EXPECT_EQ(mmitest::summary(pin.first()), "ok left=2");
        EXPECT_TRUE(line.waitForRequests("Cl", 1));
        service->stopService();
        EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "connected SERIAL01",
                                                              "disconnected SERIAL01", "stopped"}));
    }
}

// Host threads send transactions and ask isAlive while terminals come and go
// and every pointer is dropped at once: each request gets its one callback,
// and no terminal object outlives the host's and the service's references.
TEST_F(ClientEndToEnd, StressTransactionsWhileTerminalsComeAndGo)
{
    const std::vector<std::string> ids{"STRESS1", "STRESS2", "STRESS3"};
    std::vector<std::unique_ptr<SimTerminal>> terminals(ids.size());
    auto connectAnew = [&](std::size_t index) {
        terminals[index] = std::make_unique<SimTerminal>();
        answerInformation(*terminals[index], true);
        ASSERT_NE(connect(*terminals[index], ids[index]), nullptr);
    };
    for (std::size_t index = 0; index < ids.size(); ++index)
        connectAnew(index);

    // Counted by callbacks that may come after a failed test has ended.
    std::atomic<int> requested{0};
    const auto answered = std::make_shared<std::atomic<int>>(0);
    std::mutex seenMutex;
    std::vector<std::weak_ptr<ect::ZUVATerminal>> seen;
    auto host = [&](int offset) {
        for (int round = 0; round < 150; ++round) {
            std::shared_ptr<ect::ZUVATerminal> terminal = ect::getTerminal(ids[(round + offset) % ids.size()]);
            if (!terminal)
                continue;
            {
                std::lock_guard<std::mutex> lock(seenMutex);
                seen.push_back(terminal);
            }
            ++requested;
            if (round % 2)
                terminal->isAlive([answered](bool) { ++*answered; });
            else
                terminal->send(ect::ServiceInformationTransaction([answered](const auto&) { ++*answered; }));
        }
    };
    std::vector<std::thread> hosts;
    for (int offset = 0; offset < 4; ++offset)
        hosts.emplace_back(host, offset);
    // No fatal assertion while the host threads run: they must be joined.
    for (std::size_t round = 0; round < 6 && !HasFailure(); ++round) {
        const std::size_t index = round % ids.size();
        const std::size_t gone = listener.count("disconnected " + ids[index]);
        terminals[index].reset();
        EXPECT_TRUE(listener.waitForCall("disconnected " + ids[index], gone + 1));
        connectAnew(index);
    }
    for (std::thread& thread : hosts)
        thread.join();
    EXPECT_TRUE(testsupport::waitUntil([&] { return *answered == requested; }, std::chrono::milliseconds(15000)));
    service->stopService();
    EXPECT_TRUE(testsupport::waitUntil([&] {
        std::lock_guard<std::mutex> lock(seenMutex);
        return std::all_of(seen.begin(), seen.end(), [](const auto& terminal) { return terminal.expired(); });
    }));
    EXPECT_EQ(*answered, requested);
}

// Records on which thread each stop and disconnection is reported.
class ThreadRecordingListener : public RecordingListener {
public:
    void onServiceStopped() override
    {
        note("stopped");
        RecordingListener::onServiceStopped();
    }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        note("disconnected");
        RecordingListener::onTerminalDisconnected(std::move(terminal));
    }
    // "<call> on host" when made on the thread that built the listener, else "<call> on library".
    std::vector<std::string> threads() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }

private:
    void note(const std::string& call)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threads_.push_back(call + (std::this_thread::get_id() == host_ ? " on host" : " on library"));
    }

    const std::thread::id host_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    std::vector<std::string> threads_;
};

TEST(ClientServiceStop, ReportsOnTheStoppingThreadInsideTheCall)
{
    ThreadRecordingListener listener;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    const auto service = ect::makeTcpIpZUVAService(port, listener);
    service->startService();
    SimTerminal sim;
    ASSERT_TRUE(sim.connectTo(port));
    sim.sendAdvice(testsupport::SimAdvice());
    ASSERT_TRUE(listener.waitForCall("connected TERM0001"));
    service->stopService();
    EXPECT_EQ(listener.threads(), (std::vector<std::string>{"disconnected on host", "stopped on host"}));
}

TEST_F(ClientEndToEnd, StopFromAResultCallbackReturnsBeforeTheServiceHasStopped)
{
    answerInformation(sim, true);
    const auto stoppedWhenReturned = std::make_shared<std::atomic<std::size_t>>(99);
    terminal->send(ect::ServiceInformationTransaction(
        [service = service, stoppedWhenReturned, &listener = listener](const ect::ServiceInformationResult&) {
            service->stopService();
            *stoppedWhenReturned = listener.count("stopped");
        }));
    ASSERT_TRUE(listener.waitForCall("stopped"));
    EXPECT_EQ(*stoppedWhenReturned, 0u);
    EXPECT_EQ(listener.count("disconnected TERM0001"), 1u);
}

// ect::cleanup ends the Qt application holder, so it runs once every test has run.
class CleanupStopsTheRunningService : public ::testing::Environment {
public:
    void TearDown() override
    {
        // A service object let go stops its service, so the port is free and
        // cleanup calls no listener the host has destroyed since.
        const uint16_t port = SimTerminal::freeLoopbackPort();
        auto dropped = std::make_unique<RecordingListener>();
        ect::makeTcpIpZUVAService(port, *dropped)->startService();
        EXPECT_EQ(dropped->calls(), (std::vector<std::string>{"started", "stopped"}));
        dropped.reset();

        RecordingListener listener;
        auto service = ect::makeTcpIpZUVAService(port, listener);
        service->startService();
        ect::cleanup();
        EXPECT_EQ(listener.calls(), (std::vector<std::string>{"started", "stopped"}));
        service->stopService();
        EXPECT_EQ(listener.count("stopped"), 1u);
    }
};

::testing::Environment* const cleanupCheck = ::testing::AddGlobalTestEnvironment(new CleanupStopsTheRunningService);

} // namespace
