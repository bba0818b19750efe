// The serial listener with its factory and link on a pseudo-terminal, with
// the link's time-outs shortened so that a lost terminal shows within a second.
#include "ServiceFixture.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ZUVASerialServerListener.h"
#include "foundation/SerialServer.h"
#include "support/SimSerialTerminal.h"

#include <algorithm>

namespace testsupport {
namespace {

using namespace std::chrono_literals;

const char* const TerminalId = "SER00002";

class SerialListener : public ::testing::Test {
protected:
    void SetUp() override
    {
        zuva_Initialize(); // the Qt application the library's threads need
        ASSERT_TRUE(terminal.isOpen());
    }

    void TearDown() override { close(); }

    void start(int heartBeatMs)
    {
        auto environment = std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment());
        environment->update(QJsonObject{
            {"serviceSettings", QJsonObject{{"serialHeartBeatInterval", heartBeatMs}}}});
        kiss::LinkTimings timings;
        timings.connectDelay = scaled(20ms);
        // A frame's resends must be over well before the 5 s of an information request.
        timings.ackTimeout = std::min<std::chrono::milliseconds>(scaled(250ms), 1000ms);
        const auto recorder = [this](const std::string& kind) {
            return [this, kind](QJsonDocument document, std::weak_ptr<oxa::TerminalConnection>) {
                reports.recorderFor(kind)(document);
            };
        };
        listener = std::make_shared<oxa::ZUVASerialServerListener>(environment, recorder("connected"),
                                                                   recorder("disconnected"), recorder("notification"),
                                                                   timings, 50ms);
        server = vorsam::makeSerialServer();
        server->registerListener(listener);
        ASSERT_TRUE(server->open(terminal.portName(), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    }

    // As the services registry stops a service.
    void close()
    {
        server.reset();
        if (listener)
            listener->closeAll();
        listener.reset();
    }

    std::shared_ptr<oxa::TerminalConnection> connection() const
    {
        return listener->getTerminalConnection(TerminalId);
    }

    HostRecorder reports;
    std::unique_ptr<SimSerialTerminal> farEnd = std::make_unique<SimSerialTerminal>();
    // Not to be used once the far end has hung up.
    SimSerialTerminal& terminal = *farEnd;
    std::unique_ptr<vorsam::SerialServer> server;
    std::shared_ptr<oxa::ZUVASerialServerListener> listener;
};

TEST_F(SerialListener, ASilentTerminalIsReportedDisconnectedOnceAndIdentifiedAgainWhenItAnswers)
{
    terminal.identifyAs(TerminalId);
    start(100);
    ASSERT_TRUE(reports.waitFor("connected", 1));
    terminal.setSilent(true);
    ASSERT_TRUE(reports.waitFor("disconnected", 1));
    EXPECT_EQ(reports.last("disconnected"), reports.last("connected"));
    // The terminal keeps its record while the port stays open.
    ASSERT_NE(connection(), nullptr);

    // A request written while the link is down fails at once with a network
    // error, not at its time-out (code 5).
    connection()->makeTransaction(QJsonDocument::fromJson(QByteArray::fromStdString(informationRequest())),
                                  reports.recorderFor("result"), {});
    ASSERT_TRUE(reports.waitFor("result", 1));
    EXPECT_EQ(errorCodes(reports.last("result")), NetworkError);

    terminal.setSilent(false);
    ASSERT_TRUE(reports.waitFor("connected", 2));
    EXPECT_EQ(reports.count("disconnected"), 1u);
    close();
    EXPECT_EQ(reports.count("disconnected"), 2u);
}

TEST_F(SerialListener, AHungUpLineClosesThePortAndReportsTheDisconnection)
{
    terminal.identifyAs(TerminalId);
    start(0);
    ASSERT_TRUE(reports.waitFor("connected", 1));
    farEnd.reset();
    ASSERT_TRUE(reports.waitFor("disconnected", 1));
    EXPECT_EQ(reports.last("disconnected"), reports.last("connected"));
    EXPECT_EQ(connection(), nullptr);
    close();
    EXPECT_EQ(reports.count("disconnected"), 1u);
}

} // namespace
} // namespace testsupport
