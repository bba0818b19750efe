// The serial service end to end through the C interface: a terminal played on
// the master of a pseudo-terminal pair, the library on its slave.
#include "ReplyRows.h"
#include "ServiceFixture.h"
#include "engine/service/ZUVAServices.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimSerialTerminal.h"
#include "support/CertificationLog.h"

#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {
namespace {

const char* const TerminalId = "SER00001";

// A message as two frames, the first holding its first count bytes.
std::vector<Bytes> splitAt(const Bytes& message, size_t count)
{
    return {Bytes(message.begin(), message.begin() + long(count)), Bytes(message.begin() + long(count), message.end())};
}

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
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
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

// A frame that begins with a header starts a new message: a reply damaged in
// its frame is lost with a warning that names what was dropped, and costs no
// other reply; a reply split over frames is read whole. Bytes that cannot
// begin a message are dropped at the end of their frame. Rows: how the
// terminal's frames carry its approval of the first of two sales.
TEST_F(SerialService, AReplyDamagedInItsFrameCostsOnlyItself)
{
    struct Row {
        const char* name;
        std::function<std::vector<Bytes>(Bytes)> framesOf;
        // The warning, given the approval's body length; empty: none.
        std::function<QString(int)> warning;
        // Only the next frame shows that nothing of what was left follows.
        bool warnedAtTheNextFrame;
        bool firstApproved;
    };
    const auto cutShort = [](int announced, int held) {
        return QString("Message cut short by the end of its frame dropped: its header announces %1 body bytes, "
                       "the frame holds %2: 4D 43 01 00")
            .arg(announced)
            .arg(held);
    };
    const Row rows[] = {
        {"sent twice in one frame", [](const Bytes& approval) { return std::vector<Bytes>{approval + approval}; },
         [](int) { return QString(); }, false, true},
        {"4 bytes shorter than its header says",
         [](Bytes approval) {
             approval.resize(approval.size() - 4);
             return std::vector<Bytes>{approval};
         },
         [&](int length) { return cutShort(length, length - 4); }, true, false},
        {"header announcing 300 bytes more",
         [](Bytes approval) {
             const int announced = int(approval.size()) - 38 + 300;
             approval[36] = uint8_t((announced / 1000) << 4 | (announced / 100) % 10);
             approval[37] = uint8_t((announced / 10) % 10 << 4 | announced % 10);
             return std::vector<Bytes>{approval};
         },
         [&](int length) { return cutShort(length + 300, length); }, true, false},
        {"followed by the start of a header",
         [](const Bytes& approval) { return std::vector<Bytes>{approval + Bytes{'M', 'C', '0', '1', '2'}}; },
         [](int) { return QString("5 bytes after the last message of a frame dropped: 4D 43 30 31 32"); }, true, true},
        {"followed by zero bytes", [](const Bytes& approval) { return std::vector<Bytes>{approval + Bytes(3, 0)}; },
         [](int) { return QString("3 bytes after the last message of a frame dropped: 00 00 00"); }, false, true},
        {"split over two frames in its body", [](const Bytes& approval) { return splitAt(approval, 38 + 10); },
         [](int) { return QString(); }, false, true},
        {"split over two frames in its header", [](const Bytes& approval) { return splitAt(approval, 20); },
         [](int) { return QString(); }, false, true},
    };
    const CertificationLog log;
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Shared with the terminal's thread, which may outlive a failed row.
        const auto bodyLength = std::make_shared<std::atomic<int>>(0);
        terminal.on("Cd", [framesOf = row.framesOf, bodyLength](const SimMessage& request) {
            const Bytes approval = SimSaleReplies::saleReplyTo(request, TerminalId);
            if (bodyLength->exchange(int(approval.size()) - 38) != 0)
                return SimTerminal::answer(approval);
            return SimTerminal::Reply{framesOf(approval), false};
        });
        const size_t results = host.count("result");
        const int frameWarnings = log.text().count("frame dropped");
        ASSERT_EQ(host.send(TerminalId, saleOf("1.01")), 0);
        ASSERT_TRUE(waitUntil([&] { return *bodyLength != 0; }));
        const QString warning = row.warning(*bodyLength);
        const auto expectWarning = [&] {
            EXPECT_TRUE(waitUntil([&] { return log.text().contains(warning); })) << log.text().toStdString();
        };
        if (!warning.isEmpty() && !row.warnedAtTheNextFrame)
            expectWarning();
        if (!row.firstApproved) {
            ASSERT_EQ(zuva_resetTransaction(TerminalId), 0);
        }
        ASSERT_TRUE(host.waitFor("result", results + 1));
        if (row.firstApproved) {
            EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), 1.01);
        } else {
            EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));
        }

        ASSERT_EQ(host.send(TerminalId, saleOf("1.02")), 0);
        ASSERT_TRUE(host.waitFor("result", results + 2));
        EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), 1.02);
        if (!warning.isEmpty() && row.warnedAtTheNextFrame)
            expectWarning();
        EXPECT_EQ(log.text().count("frame dropped"), frameWarnings + (warning.isEmpty() ? 0 : 1));
    }
}

// Each answer reaches its request, however the terminal numbers its frames
// and replies: one that numbers all its frames alike and its information
// replies not at all answers every request with the same frame. Rows: frames
// numbered alike, replies without a number.
TEST_F(SerialService, EachAnswerReachesItsRequestWhateverTheTerminalsNumbers)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    for (const bool framesAlike : {false, true}) {
        for (const bool numbered : {true, false}) {
            SCOPED_TRACE(std::string(framesAlike ? "frames alike" : "frames counted")
                         + (numbered ? ", replies numbered" : ", replies without number"));
            terminal.setNumberingFramesAlike(framesAlike);
            terminal.on("Ci", [numbered](SimMessage request) {
                request.sequence = numbered ? request.sequence : 0;
                return SimTerminal::answer(SimTerminal::informationReplyTo(request, TerminalId, "MODEL-7", "10"));
            });
            for (int request = 0; request < 5; ++request) {
                const size_t results = host.count("result");
                ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
                ASSERT_TRUE(host.waitFor("result", results + 1));
                EXPECT_EQ(host.last("result").value("result").toObject().value("terminalIdentifier").toString(),
                          TerminalId);
            }
        }
    }
}

// A null-modem cable between two pseudo-terminal pairs: the host opens one
// slave, the terminal the other one as its serial device.
struct NullModem {
    // Orders the making and the going of both sides around the readers' passing bytes on.
    std::mutex mutex;
    std::unique_ptr<SerialLine> hostSide;
    std::unique_ptr<SerialLine> terminalSide;

    NullModem()
    {
        std::lock_guard<std::mutex> lock(mutex);
        hostSide = std::make_unique<SerialLine>([this](const Bytes& bytes) { pass(&NullModem::terminalSide, bytes); });
        terminalSide = std::make_unique<SerialLine>([this](const Bytes& bytes) { pass(&NullModem::hostSide, bytes); });
    }

    // The terminal's side as a device fresh from boot: echoing, by lines.
    bool cookTerminalSide() const
    {
        const int device = ::open(terminalSide->slaveName().c_str(), O_RDWR | O_NOCTTY);
        termios cooked{};
        const bool done = device >= 0 && tcgetattr(device, &cooked) == 0;
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_iflag |= ICRNL;
        const bool set = done && tcsetattr(device, TCSANOW, &cooked) == 0;
        if (device >= 0)
            ::close(device);
        return set;
    }

    // Bytes still read while the cable goes are dropped.
    ~NullModem()
    {
        std::unique_ptr<SerialLine> host;
        std::unique_ptr<SerialLine> terminal;
        {
            std::lock_guard<std::mutex> lock(mutex);
            host = std::move(hostSide);
            terminal = std::move(terminalSide);
        }
        // Unplugged outside the lock: their readers may be waiting for it.
    }

    void pass(std::unique_ptr<SerialLine> NullModem::*to, const Bytes& bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (this->*to)
            (this->*to)->send(bytes);
    }
};

// The script zuva_simterminal plays, on a new pseudo-terminal pair and on a
// device: a sale whose amount needs escaping on the line both ways (bytes
// 10 02) is approved.
TEST_F(SerialService, EachSaleEndsWithItsOwnReplyOverTheLink)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectEachSaleItsOwnReply(host, TerminalId, terminal);
}

TEST_F(SerialService, ATerminalAnsweringUnderOneNumberGetsEachTransactionItsReplyOverTheLink)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectEachTransactionItsReplyUnderOneNumber(host, TerminalId, terminal);
}

TEST_F(SerialService, ACancellationQuotingTheSalesNumberGetsItsReplyOverTheLink)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectACancellationQuotingTheSalesNumberItsReply(host, TerminalId, terminal);
}

TEST_F(SerialService, ATerminalNumberingItsRepliesItselfGetsEachTransactionItsReplyOverTheLink)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectEachTransactionItsReplyUnderTheTerminalsOwnNumbers(host, TerminalId, terminal);
}

TEST(SimulatedSerialTerminal, ApprovesASaleOnAPseudoTerminalPairOrOnADevice)
{
    useSettings(1500, 100);
    for (const bool onDevice : {false, true}) {
        SCOPED_TRACE(onDevice ? "device" : "pseudo-terminal pair");
        NullModem cable;
        ASSERT_TRUE(cable.hostSide->isOpen() && cable.terminalSide->isOpen());
        ASSERT_TRUE(!onDevice || cable.cookTerminalSide());
        const auto terminal = onDevice ? std::make_unique<SimSerialTerminal>(cable.terminalSide->slaveName(), 9600)
                                       : std::make_unique<SimSerialTerminal>();
        ASSERT_TRUE(terminal->isOpen());
        terminal->identifyAs(TerminalId);
        SimSaleReplies::script(*terminal, TerminalId);
        SimOperationReplies::answerAll(*terminal);
        // A wait for the sale request is woken by it, long before its own
        // deadline, which starts after this one (even when both are cut short).
        const auto woken = std::chrono::steady_clock::now() + waitDeadline(std::chrono::seconds(20));
        HostRecorder host;
        ASSERT_NE(host.startSerial(onDevice ? cable.hostSide->slaveName() : terminal->portName()), nullptr);
        ASSERT_TRUE(host.waitFor("connected", 1));
        auto saleSeen = std::async(std::launch::async,
                                   [&] { return terminal->waitForRequests("Cd", 1, std::chrono::minutes(1)); });
        ASSERT_EQ(host.send(TerminalId, R"({"transaction": {"action": "Sale", "amount": "10.02"}})"), 0);
        ASSERT_TRUE(host.waitFor("result", 1));
        const QJsonObject result = host.last("result").value("result").toObject();
        EXPECT_EQ(result.value("authorizedAmount").toDouble(), 10.02);
        EXPECT_EQ(result.value("terminalIdentifier").toString(), TerminalId);
        EXPECT_EQ(terminal->requestCount("Cd"), 1u);
        EXPECT_EQ(saleSeen.wait_until(woken), std::future_status::ready);
        EXPECT_EQ(terminal->malformedCount(), 0u);
        host.stop();
    }
}

// A listener with no terminal, standing for a service's.
class NoTerminals : public oxa::TerminalListener {
public:
    NoTerminals()
        : TerminalListener([](QJsonDocument, std::weak_ptr<oxa::TerminalConnection>) {},
                           [](QJsonDocument, std::weak_ptr<oxa::TerminalConnection>) {}, nullptr,
                           std::make_shared<oxa::ReleaseThread>())
    {
    }

private:
    QJsonObject describe(const oxa::TerminalRecords::Transport&) const override { return QJsonObject(); }
};

// A terminal identifier is looked up over TCP/IP first, whichever service's
// handle is the lower one.
TEST(SerialAndTcpIpService, ATerminalIsLookedUpOverTcpIpFirstWhateverTheOrderOfTheHandles)
{
    using Registry = oxa::ZUVAServices;
    // Handles in a known order: places in one array.
    char handles[2];
    for (const bool tcpIpLower : {true, false}) {
        SCOPED_TRACE(tcpIpLower ? "TCP/IP lower" : "TCP/IP higher");
        const auto service = [](Registry::Transport transport) {
            return std::make_shared<Registry::RunningService>(
                Registry::RunningService{transport, nullptr, std::make_shared<NoTerminals>(), nullptr, nullptr, nullptr});
        };
        const auto tcpIp = service(Registry::Transport::TcpIp);
        const auto serial = service(Registry::Transport::Serial);
        const Registry::Services running{{&handles[tcpIpLower ? 0 : 1], tcpIp},
                                         {&handles[tcpIpLower ? 1 : 0], serial}};
        EXPECT_EQ(Registry::listenersOf(running),
                  (std::vector<std::shared_ptr<oxa::TerminalListener>>{tcpIp->listener, serial->listener}));
    }
}

// One identifier connected over TCP/IP and over a serial line is used over
// TCP/IP, whichever service starts first.
TEST(SerialAndTcpIpService, ATerminalOnBothIsUsedOverTcpIpWhicheverServiceStartsFirst)
{
    useSettings(1500, 100);
    for (const bool tcpIpFirst : {true, false}) {
        SCOPED_TRACE(tcpIpFirst ? "TCP/IP first" : "serial first");
        SimSerialTerminal line;
        ASSERT_TRUE(line.isOpen());
        line.identifyAs(TerminalId, "MODEL-7");
        HostRecorder serial;
        HostRecorder tcpIp;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        void* const first = tcpIpFirst ? tcpIp.start(port) : serial.startSerial(line.portName());
        void* const second = tcpIpFirst ? serial.startSerial(line.portName()) : tcpIp.start(port);
        ASSERT_TRUE(first && second);
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
}

} // namespace
} // namespace testsupport
