// The serial connection factory over a line in memory: the test plays the
// terminal's side of the link frame by frame, so no timer decides anything.
#include "ServiceFixture.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ZUVASerialConnectionFactory.h"
#include "support/MemoryStreams.h"

#include <QCoreApplication>

namespace testsupport {
namespace {

using namespace std::chrono_literals;

class MemorySerialPort : public vorsam::SerialPort {
public:
    bool open(QString, vorsam::BaudRate, vorsam::Parity, vorsam::StopBits) override { return true; }
    bool close() override { return true; }
    bool isOpen() const override { return true; }
    QString getPort() const override { return QStringLiteral("memory"); }
    vorsam::BaudRate getBaudRate() const override { return vorsam::Baud9600; }
    vorsam::Parity getParity() const override { return vorsam::NoParity; }
    vorsam::StopBits getStopBits() const override { return vorsam::OneStop; }
    std::shared_ptr<vorsam::InputStream> getInputStream() const override { return input; }
    std::shared_ptr<vorsam::OutputStream> getOutputStream() const override { return output; }

    const std::shared_ptr<MemoryInputStream> input = std::make_shared<MemoryInputStream>();
    const std::shared_ptr<MemoryOutputStream> output = std::make_shared<MemoryOutputStream>();
};

// A's frame is lost after B and C have queued behind it; B and A end first.
// The late loss of A's frame fails nothing, B is never sent, C is sent.
TEST(SerialConnectionFactory, ALostFrameFailsOnlyItsTransactionAndAnEndedOneIsNeverSent)
{
    zuva_Initialize(); // the Qt application the library's threads need
    kiss::LinkTimings timings;
    timings.connectDelay = 1ms;
    timings.ackTimeout = 10min; // frames are lost by NAKs only
    auto port = std::make_shared<MemorySerialPort>();
    oxa::ZUVASerialConnectionFactory factory(std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment()),
                                             timings);
    const auto connection = factory.create(port, {}, {}, {});
    const auto terminalSends = [&](const QByteArray& bytes) {
        port->input->feed(bytes);
        connection->onDataReady();
    };
    ASSERT_TRUE(port->output->waitForWrites(1));
    terminalSends(QByteArray::fromHex("0601"));

    HostRecorder host;
    const auto send = [&](const char* action, const char* kind) {
        connection->makeTransaction(
            QJsonDocument(QJsonObject{{"transaction", QJsonObject{{"action", action}, {"type", action}}}}),
            host.recorderFor(kind), {});
    };
    send("InformationService", "A");
    ASSERT_TRUE(port->output->waitForWrites(2));
    connection->resetTransactions();
    ASSERT_TRUE(host.waitFor("A", 1));
    send("LastTransaction", "B");
    connection->resetTransactions();
    ASSERT_TRUE(host.waitFor("B", 1));
    send("InformationService", "C");
    for (int nak = 1; nak <= 4; ++nak) {
        ASSERT_TRUE(port->output->waitForWrites(size_t(1 + nak)));
        terminalSends(QByteArray::fromHex("15"));
    }
    ASSERT_TRUE(port->output->waitForWrites(6));
    EXPECT_EQ(port->output->at(5)[1], char(3)); // the next number: nothing was sent in between
    EXPECT_TRUE(port->output->at(5).contains("Ci")); // C's information request, not B's "Ce"

    // The loss of A's frame reaches the engine while C is in flight; C runs on.
    QCoreApplication::processEvents();
    connection->resetTransactions();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return host.count("C") == 1;
    }));
    for (const char* each : {"A", "B", "C"})
        EXPECT_EQ(errorCodes(host.last(each)), std::make_pair(2, 30)) << each;
}

} // namespace
} // namespace testsupport
