// The serial service end to end through the C interface: a terminal played on
// the master of a pseudo-terminal pair, the library on its slave.
#include "ServiceFixture.h"
#include "support/SimSerialTerminal.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace testsupport {
namespace {

const char* const TerminalId = "SER00001";

class SerialService : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(terminal.isOpen());
        useSettings(1500, 100);
    }

    void TearDown() override { host.stop(); }

    HostRecorder host;
    SimSerialTerminal terminal;
};

TEST_F(SerialService, ReportsTheTerminalOnceIdentifiedRunsTransactionsEventsAndTheHeartBeatAndStopsInOrder)
{
    terminal.identifyAs(TerminalId, "MODEL-7");
    ASSERT_NE(host.startSerial(terminal.portName().toStdString()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    EXPECT_EQ(terminal.requestCount("Ci"), 1u);
    EXPECT_LT(host.position("started"), host.position("connected"));

    const QJsonObject description = host.first("connected").value("terminal").toObject();
    EXPECT_EQ(description, (QJsonObject{{"terminalIdentifier", TerminalId}, {"terminalModel", "MODEL-7"}}));
    EXPECT_EQ(zuva_isTerminalConnected(TerminalId), 0);
    EXPECT_TRUE(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray().contains(description));

    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(host.last("result").value("result").toObject().value("terminalIdentifier").toString(), TerminalId);
    EXPECT_TRUE(host.waitFor("free", 1));
    // The heartbeat runs between transactions.
    const auto heartBeats = [&] { return terminal.link().emptyFrames(); };
    const int afterResult = heartBeats();
    EXPECT_TRUE(waitUntil([&] { return heartBeats() > afterResult + 2; }));

    ASSERT_EQ(zuvaServiceEnableNotifications(TerminalId, 1), 0);
    terminal.sendMessage(SimTerminal::synchronizationAdviceMessage("0101"));
    ASSERT_TRUE(host.waitFor("notification", 1));
    EXPECT_EQ(host.last("notification").value("event").toObject().value("terminalIdentifier").toString(), TerminalId);

    // Stopping reports the transaction in flight, then the disconnection once, then the stop.
    terminal.on("Ci", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    ASSERT_TRUE(terminal.waitForRequests("Ci", 3));
    host.stop();
    EXPECT_EQ(host.count("disconnected"), 1u);
    EXPECT_EQ(host.count("stopped"), 1u);
    ASSERT_EQ(host.count("result"), 2u);
    EXPECT_EQ(errorCodes(host.last("result")), NetworkError);
    EXPECT_LT(host.position("result", 1), host.position("disconnected"));
    EXPECT_LT(host.position("disconnected"), host.position("stopped"));
    EXPECT_EQ(host.first("disconnected"), host.first("connected"));
    EXPECT_EQ(zuva_isTerminalConnected(TerminalId), -1);
}

// One identifier connected over TCP/IP and over the serial line is used over
// TCP/IP, whichever service's handle is the lower one.
TEST_F(SerialService, ATerminalAlsoOnTcpIpIsUsedThereWhateverTheOrderOfTheHandles)
{
    // TCP/IP services started before and after the serial one, until one has
    // a lower and one a higher handle.
    std::vector<std::unique_ptr<HostRecorder>> tcpIp;
    std::vector<uint16_t> ports;
    const auto startTcpIp = [&] {
        tcpIp.push_back(std::make_unique<HostRecorder>());
        ports.push_back(SimTerminal::freeLoopbackPort());
        return tcpIp.back()->start(ports.back());
    };
    for (int before = 0; before < 4; ++before)
        ASSERT_NE(startTcpIp(), nullptr);
    terminal.identifyAs(TerminalId, "MODEL-7");
    void* const serial = host.startSerial(terminal.portName().toStdString());
    ASSERT_NE(serial, nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    const QJsonValue serialDescription = host.first("connected").value("terminal");
    const auto isLower = [serial](const std::unique_ptr<HostRecorder>& service) {
        return std::less<void*>()(service->handle(), serial);
    };
    while (tcpIp.size() < 64 && (std::none_of(tcpIp.begin(), tcpIp.end(), isLower)
                                 || std::all_of(tcpIp.begin(), tcpIp.end(), isLower)))
        ASSERT_NE(startTcpIp(), nullptr);
    const auto lower = std::find_if(tcpIp.begin(), tcpIp.end(), isLower);
    const auto higher = std::find_if_not(tcpIp.begin(), tcpIp.end(), isLower);
    ASSERT_TRUE(lower != tcpIp.end() && higher != tcpIp.end());

    for (const auto service : {lower, higher}) {
        SCOPED_TRACE(isLower(*service) ? "lower handle" : "higher handle");
        HostRecorder& tcpIpHost = **service;
        SimTerminal sim;
        ASSERT_TRUE(sim.connectTo(ports[static_cast<size_t>(service - tcpIp.begin())]));
        SimAdvice advice;
        advice.terminalIdentifier = TerminalId;
        sim.sendAdvice(advice);
        ASSERT_TRUE(tcpIpHost.waitFor("connected", 1));

        const QJsonObject connection =
            takeObject(zuva_getConnectionDescription(TerminalId)).value("terminalConnection").toObject();
        ASSERT_EQ(connection.value("port").toInt(), sim.localPort());
        EXPECT_EQ(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray(),
                  (QJsonArray{tcpIpHost.first("connected").value("terminal"), serialDescription}));

        ASSERT_EQ(zuvaServiceEnableNotifications(TerminalId, 1), 0);
        sim.sendSynchronizationAdvice("0101");
        EXPECT_TRUE(tcpIpHost.waitFor("notification", 1));
        // Left unanswered by this terminal, answered by the serial one.
        const size_t serialRequests = terminal.requestCount("Ci");
        ASSERT_EQ(tcpIpHost.send(TerminalId, informationRequest()), 0);
        EXPECT_TRUE(sim.waitForRequests(1));
        ASSERT_EQ(zuva_resetTransaction(TerminalId), 0);
        ASSERT_TRUE(tcpIpHost.waitFor("result", 1));
        EXPECT_EQ(errorCodes(tcpIpHost.first("result")), std::make_pair(2, 30));
        EXPECT_EQ(terminal.requestCount("Ci"), serialRequests);
        tcpIpHost.stop();
    }
}

} // namespace
} // namespace testsupport
