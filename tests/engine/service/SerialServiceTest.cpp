// The serial service end to end through the C interface: a terminal played on
// the master of a pseudo-terminal pair, the library on its slave.
#include "ServiceFixture.h"
#include "support/SimSerialTerminal.h"

#include <functional>

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

// One identifier connected over TCP/IP and over a serial line is used over
// TCP/IP, whichever service's handle is the lower one. The two services start
// in turns in either order and stop in the same order, so that their handles
// come in both orders whether new memory lies higher or freed memory is used
// again.
TEST(SerialAndTcpIpService, ATerminalOnBothIsUsedOverTcpIpWhateverTheOrderOfTheHandles)
{
    useSettings(1500, 100);
    bool tcpIpLower = false;
    bool tcpIpHigher = false;
    for (int round = 0; round < 16 && !(tcpIpLower && tcpIpHigher) && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        SimSerialTerminal line;
        ASSERT_TRUE(line.isOpen());
        line.identifyAs(TerminalId, "MODEL-7");
        HostRecorder serial;
        HostRecorder tcpIp;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        const bool tcpIpFirst = round % 2 == 0;
        void* const first = tcpIpFirst ? tcpIp.start(port) : serial.startSerial(line.portName().toStdString());
        void* const second = tcpIpFirst ? serial.startSerial(line.portName().toStdString()) : tcpIp.start(port);
        ASSERT_TRUE(first && second);
        (std::less<void*>()(tcpIp.handle(), serial.handle()) ? tcpIpLower : tcpIpHigher) = true;
        ASSERT_TRUE(serial.waitFor("connected", 1));

        const auto terminal = announcedTerminal(tcpIp, port, TerminalId, 0);
        ASSERT_EQ(tcpIp.count("connected"), 1u);
        const QJsonObject connection =
            takeObject(zuva_getConnectionDescription(TerminalId)).value("terminalConnection").toObject();
        ASSERT_EQ(connection.value("port").toInt(), terminal->localPort());
        EXPECT_EQ(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray(),
                  (QJsonArray{tcpIp.first("connected").value("terminal"), serial.first("connected").value("terminal")}));

        ASSERT_EQ(zuvaServiceEnableNotifications(TerminalId, 1), 0);
        terminal->sendSynchronizationAdvice("0101");
        EXPECT_TRUE(tcpIp.waitFor("notification", 1));
        // Left unanswered by this terminal, answered by the serial one.
        const size_t serialRequests = line.requestCount("Ci");
        ASSERT_EQ(tcpIp.send(TerminalId, informationRequest()), 0);
        EXPECT_TRUE(terminal->waitForRequests(1));
        ASSERT_EQ(zuva_resetTransaction(TerminalId), 0);
        ASSERT_TRUE(tcpIp.waitFor("result", 1));
        EXPECT_EQ(errorCodes(tcpIp.first("result")), std::make_pair(2, 30));
        EXPECT_EQ(line.requestCount("Ci"), serialRequests);
        tcpIp.stop();
        serial.stop();
    }
    EXPECT_TRUE(tcpIpLower && tcpIpHigher);
}

} // namespace
} // namespace testsupport
