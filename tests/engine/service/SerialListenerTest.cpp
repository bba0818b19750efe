// The serial listener with its factory and link on a pseudo-terminal, with
// the link's time-outs shortened so that a lost terminal shows within a second.
#include "ServiceFixture.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ZUVASerialServerListener.h"
#include "foundation/SerialServer.h"
#include "support/SimSerialTerminal.h"

namespace testsupport {
namespace {

using namespace std::chrono_literals;

class SerialListener : public ::testing::Test {
protected:
    void SetUp() override
    {
        zuva_Initialize(); // the Qt application the library's threads need
        ASSERT_TRUE(terminal.isOpen());
        auto environment = std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment());
        environment->update(QJsonObject{{"serviceSettings", QJsonObject{{"serialHeartBeatInterval", 100}}}});
        kiss::LinkTimings timings;
        timings.connectDelay = scaled(20ms);
        // Stretched like every deadline under emulation, not capped: no case here
        // needs a frame's resends over before a transaction's own time-out.
        timings.ackTimeout = scaled(250ms);
        const auto recorder = [this](const std::string& kind) {
            return [this, kind](QJsonDocument document, std::weak_ptr<oxa::TerminalConnection>) {
                reports.recorderFor(kind)(document);
            };
        };
        listener = std::make_shared<oxa::ZUVASerialServerListener>(environment, recorder("connected"),
                                                                   recorder("disconnected"), recorder("notification"),
                                                                   timings, 50ms);
        server->registerListener(listener);
    }

    void TearDown() override { close(); }

    // As the services registry stops a service.
    void close()
    {
        server.reset();
        if (listener)
            listener->closeAll();
        listener.reset();
    }

    HostRecorder reports;
    SimSerialTerminal terminal;
    std::unique_ptr<vorsam::SerialServer> server = vorsam::makeSerialServer();
    std::shared_ptr<oxa::ZUVASerialServerListener> listener;
};

TEST_F(SerialListener, ASilentTerminalIsReportedDisconnectedOnceAndIdentifiedAgainWhenItAnswers)
{
    terminal.identifyAs("SER00002");
    ASSERT_TRUE(server->open(terminal.portName(), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    terminal.setSilent(true);
    ASSERT_TRUE(reports.waitFor("disconnected", 1));
    EXPECT_EQ(reports.last("disconnected"), reports.last("connected"));

    terminal.setSilent(false);
    ASSERT_TRUE(reports.waitFor("connected", 2));
    EXPECT_EQ(reports.count("disconnected"), 1u);
    close();
    EXPECT_EQ(reports.count("disconnected"), 2u);
}

} // namespace
} // namespace testsupport
