// The serial service end to end through the C interface: a terminal played on
// the master of a pseudo-terminal pair, the library on its slave.
#include "ServiceFixture.h"
#include "support/SimSerialTerminal.h"

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

} // namespace
} // namespace testsupport
