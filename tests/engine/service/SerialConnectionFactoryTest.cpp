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

// A connection built by the factory over a line in memory, its link up.
struct LinkedTerminal {
    LinkedTerminal(oxa::ZUVASerialConnectionFactory& factory, HostRecorder& host)
        : host(host)
        , connection(factory.create(port, {}, {}, {}))
    {
        EXPECT_TRUE(port->output->waitForWrites(1));
        terminalSends("0601");
    }
    void terminalSends(const char* hex)
    {
        port->input->feed(QByteArray::fromHex(hex));
        connection->onDataReady();
    }
    void send(const char* action, const char* kind)
    {
        connection->makeTransaction(
            QJsonDocument(QJsonObject{{"transaction", QJsonObject{{"action", action}, {"type", action}}}}),
            host.recorderFor(kind), {});
    }
    bool processEventsUntilResult(const char* kind)
    {
        return waitUntil([&] {
            QCoreApplication::processEvents();
            return host.count(kind) == 1;
        });
    }
    // The request's frame is sent, and answered by the terminal four times with the byte.
    void answerFourTimes(const char* hex, const char* action = "InformationService", const char* kind = "A")
    {
        send(action, kind);
        for (int answer = 1; answer <= 4 && !::testing::Test::HasFailure(); ++answer) {
            EXPECT_TRUE(port->output->waitForWrites(size_t(1 + answer)));
            terminalSends(hex);
        }
    }

    HostRecorder& host;
    const std::shared_ptr<MemorySerialPort> port = std::make_shared<MemorySerialPort>();
    std::unique_ptr<oxa::TerminalConnection> connection;
};

// A's frame is lost after B and C have queued behind it; B and A end first.
// The late loss of A's frame fails nothing, B is never sent, C is sent.
TEST(SerialConnectionFactory, ALostFrameFailsOnlyItsTransactionAndAnEndedOneIsNeverSent)
{
    zuva_Initialize(); // the Qt application the library's threads need
    kiss::LinkTimings timings;
    timings.connectDelay = 1ms;
    timings.ackTimeout = 10min; // frames are lost by NAKs only
    oxa::ZUVASerialConnectionFactory factory(std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment()),
                                             timings);
    HostRecorder host;
    LinkedTerminal line(factory, host);
    const auto& port = line.port;
    const auto& connection = line.connection;

    line.send("InformationService", "A");
    ASSERT_TRUE(port->output->waitForWrites(2));
    connection->resetTransactions();
    ASSERT_TRUE(host.waitFor("A", 1));
    line.send("LastTransaction", "B");
    connection->resetTransactions();
    ASSERT_TRUE(host.waitFor("B", 1));
    line.answerFourTimes("15", "InformationService", "C");
    ASSERT_TRUE(port->output->waitForWrites(6));
    EXPECT_EQ(port->output->at(5)[1], char(3)); // the next number: nothing was sent in between
    EXPECT_TRUE(port->output->at(5).contains("Ci")); // C's information request, not B's "Ce"

    // The loss of A's frame reaches the engine while C is in flight; C runs on.
    QCoreApplication::processEvents();
    connection->resetTransactions();
    ASSERT_TRUE(line.processEventsUntilResult("C"));
    for (const char* each : {"A", "B", "C"})
        EXPECT_EQ(errorCodes(host.last(each)), std::make_pair(2, 30)) << each;
}

// The link's callbacks hold the dispatcher only while they run, and may turn
// out to hold it last when the connection ends meanwhile; ending it there
// would make the link's thread wait for a dispatch thread that waits for the
// link. Whatever a callback took is let go on the release thread: a
// connection ended after the callback ran ends its dispatcher there, and the
// transaction B still in flight then gets its result there.
TEST(SerialConnectionFactory, ALinkCallbackLetsGoOfTheDispatcherOnTheReleaseThread)
{
    zuva_Initialize();
    kiss::LinkTimings timings;
    timings.connectDelay = 1ms;
    timings.ackTimeout = 10min; // frames are lost by NAKs only
    struct Case {
        const char* callback;
        // Runs the callback and sends B (a long one); returns the index of B's frame among the writes.
        std::function<size_t(LinkedTerminal&)> provoke;
    };
    const Case cases[] = {
        {"send check",
         [](LinkedTerminal& line) {
             line.send("InformationService", "A");
             EXPECT_TRUE(line.port->output->waitForWrites(2));
             line.connection->resetTransactions();
             EXPECT_TRUE(line.host.waitFor("A", 1));
             // B waits behind A's unanswered frame; C, refused while B runs, shows that the link has taken it.
             line.send("MMIOpen", "B");
             line.send("InformationService", "C");
             EXPECT_TRUE(line.host.waitFor("C", 1));
             line.terminalSends("0602");
             return size_t(2);
         }},
        {"frame lost",
         [](LinkedTerminal& line) {
             line.answerFourTimes("15");
             EXPECT_TRUE(line.processEventsUntilResult("A"));
             line.send("MMIOpen", "B");
             return size_t(5);
         }},
        {"receive failure",
         [](LinkedTerminal& line) {
             line.answerFourTimes("FF");
             EXPECT_TRUE(line.processEventsUntilResult("A"));
             line.terminalSends("0602");
             line.send("MMIOpen", "B");
             return size_t(6);
         }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.callback);
        HostRecorder host;
        HeldReleaseThread release;
        oxa::ZUVASerialConnectionFactory factory(std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment()),
                                                 timings, release.thread);
        LinkedTerminal line(factory, host);
        const size_t frameOfB = each.provoke(line);
        ASSERT_TRUE(line.port->output->waitForWrites(frameOfB + 1));
        EXPECT_TRUE(line.port->output->at(frameOfB).contains("Ck"));
        EXPECT_EQ(line.host.count("B"), 0u);

        line.connection.reset();
        EXPECT_EQ(line.host.count("B"), 0u) << "the dispatcher ended with the connection, on this thread";
        release.letGo();
        ASSERT_TRUE(line.host.waitFor("B", 1));
        EXPECT_EQ(errorCodes(line.host.last("B")), NetworkError);
        EXPECT_EQ(line.host.threads("B").front(), release.id);
    }
}

} // namespace
} // namespace testsupport
