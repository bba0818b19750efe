// The serial service end to end through the C interface: a terminal played on
// the master of a pseudo-terminal pair, the library on its slave.
#include "ReplyRows.h"
#include "ServiceFixture.h"
#include "engine/service/ZUVAServices.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimSerialTerminal.h"
#include "support/CertificationLog.h"

#include <algorithm>
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

// A message in frames of up to size bytes, a new one also at each "MC" of
// its body, as a terminal may cut a ticket that names its merchant.
std::vector<Bytes> framesAt(const Bytes& message, size_t size)
{
    std::vector<Bytes> frames{{}};
    for (size_t at = 0; at < message.size(); ++at) {
        const bool code = at > 0 && message[at] == 'M' && at + 1 < message.size() && message[at + 1] == 'C';
        if (frames.back().size() == size || code)
            frames.emplace_back();
        frames.back().push_back(message[at]);
    }
    return frames;
}

// A message in frames of up to size bytes.
std::vector<Bytes> framesOf(const Bytes& message, size_t size)
{
    std::vector<Bytes> frames;
    for (size_t at = 0; at < message.size(); at += size)
        frames.emplace_back(message.begin() + long(at), message.begin() + long(std::min(at + size, message.size())));
    return frames;
}

// The same, with frames cut also where the inner bytes begin and end.
std::vector<Bytes> framesAround(const Bytes& message, size_t size, const Bytes& inner)
{
    const auto begin = std::search(message.begin(), message.end(), inner.begin(), inner.end());
    std::vector<Bytes> frames = framesOf(Bytes(message.begin(), begin), size);
    for (const Bytes& part : {inner, Bytes(begin + long(inner.size()), message.end())}) {
        const std::vector<Bytes> more = framesOf(part, size);
        frames.insert(frames.end(), more.begin(), more.end());
    }
    return frames;
}

// The same without the first frame that lies wholly inside the text, as a
// terminal that gave up on that frame and went on.
std::vector<Bytes> framesMissingOneIn(const Bytes& message, size_t size, const std::string& text)
{
    const size_t textAt = size_t(std::search(message.begin(), message.end(), text.begin(), text.end()) - message.begin());
    std::vector<Bytes> frames = framesOf(message, size);
    const size_t first = (textAt + size - 1) / size;
    frames.erase(frames.begin() + long(first));
    return frames;
}

// A ticket that names its merchant at the start of a line.
const std::string& Ticket = *new std::string("MCDONALD'S 12 MAIN ST\nMCC 5812\nMC 5412 XXXX XXXX 1234\nTOTAL EUR\n");
// Longer: room for frames wholly inside its text.
const std::string& LongTicket =
    *new std::string(Ticket + "2 X COFFEE 3.20\n1 X MUFFIN 2.10\n1 X WATER 1.50\nVAT 19% INCLUDED\nTHANK YOU\n");

// A ticket with a ruled line as long as three frames of size bytes.
std::string ruledTicket(size_t size)
{
    return Ticket + std::string(3 * size, '-') + "\nTHANK YOU\n";
}

// A ticket whose bytes hold a whole message (a synchronization advice).
const std::string& MessageInTicket = *new std::string([] {
    const Bytes advice = SimTerminal::synchronizationAdviceMessage("0101");
    return Ticket + std::string(advice.begin(), advice.end()) + "\nTOTAL EUR\n";
}());

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

// A frame that follows an incomplete message continues it unless the
// messages read as their headers announce only when it begins a new one: a
// reply split over frames is read whole whatever bytes a frame begins with, a
// reply damaged in its frame is lost with a warning that names what was
// dropped, and costs no other reply; what is still incomplete when its
// transaction ends is warned of then, once. Bytes that cannot begin a message
// are dropped at the end of their frame. Where the frames read two ways (a
// frame that may begin a message or continue one, a frame like the one before
// under a number that never changes) the frames after them decide; the rest
// of a damaged message is warned of once. Rows: how the terminal's frames
// carry its approval, with a ticket, of the first of two sales.
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
        // Bytes that may begin a message are left as the first sale ends.
        bool leftIncomplete;
        std::string ticket = Ticket;
        // Every frame under one number.
        bool framesAlike = false;
        // The second approval in frames of this size; 0: in one.
        size_t nextFrameSize = 0;
    };
    const auto cutShort = [](int announced, int held) {
        return QString("Message cut short by the end of its frame dropped: its header announces %1 body bytes, "
                       "the frame holds %2: 4D 43 01 00")
            .arg(announced)
            .arg(held);
    };
    const Row rows[] = {
        {"sent twice in one frame", [](const Bytes& approval) { return std::vector<Bytes>{approval + approval}; },
         [](int) { return QString(); }, false, true, false},
        {"4 bytes shorter than its header says",
         [](Bytes approval) {
             approval.resize(approval.size() - 4);
             return std::vector<Bytes>{approval};
         },
         [&](int length) { return cutShort(length, length - 4); }, true, false, true},
        {"header announcing 300 bytes more",
         [](Bytes approval) {
             const int announced = int(approval.size()) - 38 + 300;
             approval[36] = uint8_t((announced / 1000) << 4 | (announced / 100) % 10);
             approval[37] = uint8_t((announced / 10) % 10 << 4 | announced % 10);
             return std::vector<Bytes>{approval};
         },
         [&](int length) { return cutShort(length + 300, length); }, true, false, true},
        {"followed by the start of a header",
         [](const Bytes& approval) { return std::vector<Bytes>{approval + Bytes{'M', 'C', '0', '1', '2'}}; },
         [](int) { return QString("5 bytes after the last message of a frame dropped: 4D 43 30 31 32"); }, true, true,
         true},
        {"followed by zero bytes", [](const Bytes& approval) { return std::vector<Bytes>{approval + Bytes(3, 0)}; },
         [](int) { return QString("3 bytes after the last message of a frame dropped: 00 00 00"); }, false, true,
         false},
        {"split over two frames in its body", [](const Bytes& approval) { return splitAt(approval, 38 + 10); },
         [](int) { return QString(); }, false, true, false},
        {"split over two frames in its header", [](const Bytes& approval) { return splitAt(approval, 20); },
         [](int) { return QString(); }, false, true, false},
        {"split after its first byte", [](const Bytes& approval) { return splitAt(approval, 1); },
         [](int) { return QString(); }, false, true, false},
        {"in frames of 16 bytes, one at each MC",
         [](const Bytes& approval) { return framesAt(approval, 16); }, [](int) { return QString(); }, false, true,
         false},
        {"in frames of 32 bytes, one at each MC",
         [](const Bytes& approval) { return framesAt(approval, 32); }, [](int) { return QString(); }, false, true,
         false},
    };
    std::vector<Row> table(std::begin(rows), std::end(rows));
    for (const size_t size : {16u, 50u}) {
        const auto framed = [size](const Bytes& approval) { return framesOf(approval, size); };
        const int cut = int(size);
        const std::string ruled = ruledTicket(size);
        table.push_back({"a frame inside its text missing, the next reply framed alike",
                         [size](const Bytes& approval) { return framesMissingOneIn(approval, size, LongTicket); },
                         [&, cut](int length) { return cutShort(length, length - cut); }, true, false, true,
                         LongTicket, false, size});
        for (const bool alike : {false, true}) {
            table.push_back({"a ruled line in like frames", framed, [](int) { return QString(); }, false, true, false,
                             ruled, alike, size});
        }
        const Bytes advice = SimTerminal::synchronizationAdviceMessage("0101");
        table.push_back({"a whole message in its ticket, at frame cuts",
                         [size, advice](const Bytes& approval) { return framesAround(approval, size, advice); },
                         [](int) { return QString(); }, false, true, false, MessageInTicket, false, size});
    }
    const CertificationLog log;
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    for (const Row& row : table) {
        SCOPED_TRACE(std::string(row.name) + (row.framesAlike ? ", one number" : "") + ", frames of "
                     + std::to_string(row.nextFrameSize));
        terminal.setNumberingFramesAlike(row.framesAlike);
        // Shared with the terminal's thread, which may outlive a failed row.
        const auto bodyLength = std::make_shared<std::atomic<int>>(0);
        terminal.on("Cd", [row, bodyLength](const SimMessage& request) {
            const Bytes approval = SimSaleReplies::ticketedSaleReplyTo(request, TerminalId, row.ticket);
            if (bodyLength->exchange(int(approval.size()) - 38) == 0)
                return SimTerminal::Reply{row.framesOf(approval), false};
            if (row.nextFrameSize == 0)
                return SimTerminal::answer(approval);
            return SimTerminal::Reply{framesOf(approval, row.nextFrameSize), false};
        });
        const size_t results = host.count("result");
        const int frameWarnings = log.text().count("frame dropped");
        const auto endWarnings = [&] { return log.text().count("as the transactions ended"); };
        const int endWarningsBefore = endWarnings();
        const size_t acknowledged = terminal.link().acknowledgements();
        ASSERT_EQ(host.send(TerminalId, saleOf("1.01")), 0);
        ASSERT_TRUE(waitUntil([&] { return *bodyLength != 0; }));
        const QString warning = row.warning(*bodyLength);
        const auto expectWarning = [&] {
            EXPECT_TRUE(waitUntil([&] { return log.text().contains(warning); })) << log.text().toStdString();
        };
        if (!warning.isEmpty() && !row.warnedAtTheNextFrame)
            expectWarning();
        if (!row.firstApproved) {
            // Once the library has the reply's frame, whatever became of it.
            ASSERT_TRUE(waitUntil([&] { return terminal.link().acknowledgements() > acknowledged; }));
            ASSERT_EQ(zuva_resetTransaction(TerminalId), 0);
        }
        ASSERT_TRUE(host.waitFor("result", results + 1));
        if (row.firstApproved) {
            const QJsonObject result = host.last("result").value("result").toObject();
            EXPECT_EQ(result.value("authorizedAmount").toDouble(), 1.01);
            EXPECT_EQ(result.value("ticketDiscreteElements").toString().toUpper().toStdString(),
                      toHex(Bytes(row.ticket.begin(), row.ticket.end())));
        } else {
            EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));
        }
        const int endWarned = endWarningsBefore + (row.leftIncomplete ? 1 : 0);
        EXPECT_TRUE(waitUntil([&] { return endWarnings() == endWarned; })) << log.text().toStdString();

        ASSERT_EQ(host.send(TerminalId, saleOf("1.02")), 0);
        ASSERT_TRUE(host.waitFor("result", results + 2));
        EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), 1.02);
        if (!warning.isEmpty() && row.warnedAtTheNextFrame)
            expectWarning();
        EXPECT_EQ(log.text().count("frame dropped"), frameWarnings + (warning.isEmpty() ? 0 : 1));
        EXPECT_EQ(endWarnings(), endWarned);
    }
}

// The terminal misses our acknowledgement of its reply, acknowledges the next
// sale's request at once and then sends its reply again, numbers and all,
// before it answers that sale: where it counts its frames the resend is a
// repeat whatever it acknowledged meanwhile; where it numbers them alike, the
// resend, which comes once its acknowledgement time-out has run, cannot be
// told from a new reply and is dropped with a warning. Each sale gets its own
// amount also from replies without a number. Rows: the terminal's numbers.
TEST_F(SerialService, AReplyResentAfterTheNextRequestIsNoNewReply)
{
    const CertificationLog log;
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    const struct {
        bool framesAlike;
        int sales;
    } rows[] = {{false, 20}, {true, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.framesAlike ? "one number" : "numbers counted");
        terminal.setNumberingFramesAlike(row.framesAlike);
        terminal.on("Cd", [this, alike = row.framesAlike](SimMessage request) {
            if (alike)
                terminal.resendLastFrameWhenDue();
            else
                terminal.resendLastFrame();
            request.sequence = 0;
            return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, TerminalId));
        });
        const int warned = log.text().count("dropped as a resend");
        for (int sale = 1; sale <= row.sales; ++sale) {
            SCOPED_TRACE(sale);
            const std::string amount = std::to_string(sale) + ".05";
            const size_t results = host.count("result");
            ASSERT_EQ(host.send(TerminalId, saleOf(amount.c_str())), 0);
            ASSERT_TRUE(host.waitFor("result", results + 1));
            EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(),
                      std::stod(amount));
        }
        // Up to the second sale's resend the link has seen the terminal's
        // numbers change, and knows a frame under the same number for a resend.
        EXPECT_GE(log.text().count("dropped as a resend"), warned + (row.framesAlike ? row.sales - 2 : 0));
    }
}

// A terminal that numbers its frames alike and its replies not at all, whose
// acknowledgement of our request is lost, answers at once with the very frame
// it sent last: that cannot be told from its resend, and is dropped with a
// warning rather than taken twice.
TEST_F(SerialService, AnAnswerThatCannotBeToldFromAResendIsWarnedOf)
{
    const CertificationLog log;
    terminal.setNumberingFramesAlike(true);
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    terminal.on("Ci", [](SimMessage request) {
        request.sequence = 0;
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, TerminalId, "MODEL-7", "10"));
    });
    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    ASSERT_TRUE(host.waitFor("result", 2));
    terminal.withholdNextAcknowledgement();
    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    const QString warning("Message Ri dropped as a resend of the terminal's last frame");
    EXPECT_TRUE(waitUntil([&] { return host.count("result") == 3 || log.text().contains(warning); }));
    if (log.text().contains(warning)) {
        zuva_resetTransaction(TerminalId); // unless its time-out came first
        ASSERT_TRUE(host.waitFor("result", 3));
    } else {
        ASSERT_TRUE(host.waitFor("result", 3));
        EXPECT_EQ(host.last("result").value("result").toObject().value("terminalIdentifier").toString(), TerminalId)
            << "neither right nor warned of";
    }
    // The next request's answer may come when a resend of the frame would
    // (our link resends the request the terminal did not acknowledge): then it
    // is warned of too, and the request after it gets its answer.
    const int warned = log.text().count(warning);
    ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
    EXPECT_TRUE(waitUntil([&] { return host.count("result") == 4 || log.text().count(warning) > warned; }));
    if (log.text().count(warning) > warned) {
        zuva_resetTransaction(TerminalId);
        ASSERT_TRUE(host.waitFor("result", 4));
        ASSERT_EQ(host.send(TerminalId, informationRequest()), 0);
        ASSERT_TRUE(host.waitFor("result", 5));
    } else {
        ASSERT_TRUE(host.waitFor("result", 4));
    }
    EXPECT_EQ(host.last("result").value("result").toObject().value("terminalIdentifier").toString(), TerminalId);
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

// A message split over two frames is no message lost: not where its reply
// ends the transaction while its frame is still being cut, nor where it
// comes while no transaction runs. Rows: sales' replies, then events.
TEST_F(SerialService, AMessageSplitOverTwoFramesIsWarnedOfNowhere)
{
    const CertificationLog log;
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    ASSERT_EQ(zuvaServiceEnableNotifications(TerminalId, 1), 0);
    terminal.on("Cd", [](const SimMessage& request) {
        return SimTerminal::Reply{splitAt(SimSaleReplies::saleReplyTo(request, TerminalId), 38 + 10), false};
    });
    for (int sale = 1; sale <= 150; ++sale) {
        const size_t results = host.count("result");
        ASSERT_EQ(host.send(TerminalId, saleOf("2.50")), 0);
        ASSERT_TRUE(host.waitFor("result", results + 1));
        EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), 2.50);
    }
    for (size_t event = 1; event <= 20; ++event) {
        for (const Bytes& frame : splitAt(SimTerminal::synchronizationAdviceMessage("0101"), 38 + 3))
            terminal.sendMessage(frame);
        ASSERT_TRUE(host.waitFor("notification", event));
    }
    EXPECT_EQ(log.text().count("a reply may be lost"), 0) << log.text().toStdString();
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

// The library's own identification takes the first number, the register's
// information request comes second.
TEST_F(SerialService, EqualRepliesUnderOneNumberAreNoRepeatsOverTheLink)
{
    answerAlikeUnderOneNumber(terminal, TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectEqualRepliesUnderOneNumberEachTheirOwn(host, TerminalId);
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

class WarningHandlerOverTheLink : public SerialService, public ::testing::WithParamInterface<WarningRow> {
};

TEST_P(WarningHandlerOverTheLink, NoCallWaitsForTheHandler)
{
    terminal.identifyAs(TerminalId);
    ASSERT_NE(host.startSerial(terminal.portName()), nullptr);
    ASSERT_TRUE(host.waitFor("connected", 1));
    expectNoCallToWaitForTheWarningHandler(host, TerminalId, terminal, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, WarningHandlerOverTheLink, ::testing::ValuesIn(warningRows()), nameOf);

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
