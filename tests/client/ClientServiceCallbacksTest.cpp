#include "ClientEndToEnd.h"

#include "client/ServiceInformationTransaction.h"
#include "client/ZUVAServiceImpl.h"
#include "support/SimSerialTerminal.h"

#include <atomic>
#include <thread>

namespace {

using clienttest::ClientEndToEnd;
using clienttest::RecordingListener;
using testsupport::SimTerminal;

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

TEST(ClientSerialService, DescribesTheLineAtTheDefaultOrGivenRate)
{
    for (const int baudRate : {0, 19200}) {
        SCOPED_TRACE(baudRate);
        testsupport::SimSerialTerminal line;
        ASSERT_TRUE(line.isOpen());
        line.identifyAs("SERIAL01");
        RecordingListener listener;
        const std::string name = line.portName().toStdString();
        const auto service = baudRate ? ect::makeSerialZUVAService(name, baudRate, listener)
                                      : ect::makeSerialZUVAService(name, listener);
        service->startService();
        const auto terminal = listener.waitForTerminal("SERIAL01");
        ASSERT_NE(terminal, nullptr);
        Json::Value description;
        ASSERT_TRUE(ect::parseJson(terminal->getConnectionDescription(), description));
        EXPECT_EQ(description["terminalConnection"]["port"], name);
        EXPECT_EQ(description["terminalConnection"]["baud"], baudRate ? baudRate : 9600);
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

    std::atomic<int> requested{0}, answered{0};
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
                terminal->isAlive([&answered](bool) { ++answered; });
            else
                terminal->send(ect::ServiceInformationTransaction([&answered](const auto&) { ++answered; }));
        }
    };
    std::vector<std::thread> hosts;
    for (int offset = 0; offset < 4; ++offset)
        hosts.emplace_back(host, offset);
    for (std::size_t round = 0; round < 6; ++round) {
        const std::size_t index = round % ids.size();
        const std::size_t gone = listener.count("disconnected " + ids[index]);
        terminals[index].reset();
        ASSERT_TRUE(listener.waitForCall("disconnected " + ids[index], gone + 1));
        connectAnew(index);
    }
    for (std::thread& thread : hosts)
        thread.join();
    EXPECT_TRUE(testsupport::waitUntil([&] { return answered == requested; }, std::chrono::milliseconds(15000)));
    service->stopService();
    EXPECT_TRUE(testsupport::waitUntil([&] {
        std::lock_guard<std::mutex> lock(seenMutex);
        return std::all_of(seen.begin(), seen.end(), [](const auto& terminal) { return terminal.expired(); });
    }));
    EXPECT_EQ(answered, requested);
}

} // namespace
