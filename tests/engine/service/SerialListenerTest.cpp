// The serial listener with its factory and link on a pseudo-terminal, with
// the link's time-outs shortened so that a lost terminal shows within a second.
#include "ServiceFixture.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ZUVASerialServerListener.h"
#include "foundation/SerialServer.h"
#include "simterminal/SimSerialTerminal.h"
#include "support/CertificationLog.h"

#include <set>


namespace testsupport {
namespace {

using namespace std::chrono_literals;

// Records the opening of the port as a host callback, on the server's thread.
class OpenProbe : public vorsam::SerialServerListener {
public:
    explicit OpenProbe(HostRecorder& recorder)
        : m_recorder(recorder)
    {
    }
    void onOpen(std::weak_ptr<vorsam::SerialPort>) override { m_recorder.record("opened", ""); }
    void onDataPending(std::weak_ptr<vorsam::SerialPort>) override {}

private:
    HostRecorder& m_recorder;
};

class SerialListener : public ::testing::Test {
protected:
    void SetUp() override
    {
        zuva_Initialize(); // the Qt application the library's threads need
        ASSERT_TRUE(terminal.isOpen());
        auto environment = std::shared_ptr<oxa::OXAEnvironment>(oxa::makeOXAEnvironment());
        environment->update(QJsonObject{
            {"serviceSettings",
             QJsonObject{{"serialHeartBeatInterval", heartBeatMilliseconds}, {"currencyCode", "EUR"}}}});
        kiss::LinkTimings timings;
        timings.connectDelay = scaled(20ms);
        // Stretched like every deadline under emulation, not capped: no case here
        // needs a frame's resends over before a transaction's own time-out.
        timings.ackTimeout = scaled(250ms);
        const auto recorder = [this](const std::string& kind) { return reportRecorder(reports, kind); };
        listener = std::make_shared<oxa::ZUVASerialServerListener>(environment, recorder("connected"),
                                                                   recorder("disconnected"), recorder("notification"),
                                                                   timings, 50ms, releaseThread);
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

    // The connection to a terminal that answers cancellations but no "Ck"
    // (MMIOpen), once it is reported connected.
    std::shared_ptr<oxa::TerminalConnection> connectTerminalLeavingMMIOpenUnanswered(const std::string& identifier)
    {
        terminal.identifyAs(identifier);
        terminal.on("Ck", [](const SimMessage&) { return SimTerminal::silence(); });
        terminal.on("Co",
                    [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); });
        if (!server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop)
            || !reports.waitFor("connected", 1))
            return nullptr;
        return listener->getTerminalConnection(QString::fromStdString(identifier));
    }

    // The terminal falls silent while nothing awaits a reply: the heartbeat
    // finds it gone; it answers again and is identified.
    void cutAndMendTheCable()
    {
        terminal.setSilent(true);
        ASSERT_TRUE(reports.waitFor("disconnected", 1));
        terminal.setSilent(false);
        ASSERT_TRUE(reports.waitFor("connected", 2));
    }

    // Sends MMIOpen, which the terminal leaves unanswered, and sets it aside
    // by a cancellation.
    void setAsideAnUnansweredTransaction(const std::shared_ptr<oxa::TerminalConnection>& connection,
                                         const std::string& kind)
    {
        send(connection, {{"action", "MMIOpen"}}, kind);
        ASSERT_TRUE(terminal.waitForRequests("Ck", 1));
        send(connection, {{"action", "CancelRetail"}, {"saleSystemActionIdentifier", "0000002A"}}, "cancelled");
        ASSERT_TRUE(reports.waitFor("cancelled", 1));
    }

    void send(const std::shared_ptr<oxa::TerminalConnection>& connection, const QJsonObject& transaction,
              const std::string& kind)
    {
        connection->makeTransaction(QJsonDocument(QJsonObject{{"transaction", transaction}}),
                                    reports.recorderFor(kind), {});
    }

    // Sells 12.50 EUR as a register that keeps selling: each result, recorded
    // as "sale", starts the next sale until there are that many.
    void sellOn(const std::weak_ptr<oxa::TerminalConnection>& connection, size_t sales)
    {
        const QJsonDocument sale(QJsonObject{{"transaction", QJsonObject{{"action", "Sale"}, {"amount", "12.50"}}}});
        selling = [this, connection, sales, sale](QJsonDocument result) {
            reports.record("sale", result.toJson().constData());
            const auto current = connection.lock();
            if (current && reports.count("sale") < sales)
                current->makeTransaction(sale, decltype(selling)(selling), {});
        };
        if (const auto current = connection.lock())
            current->makeTransaction(sale, decltype(selling)(selling), {});
    }

    // The terminal's approval of 12.50 EUR, its transaction 000777.
    static Bytes approvalOf(const SimMessage& request)
    {
        return SimTerminal::replyTo(request, {SimTlv::constructed(fromHex("BF8116"), {SimTlv::hex("DF1E", "000777"),
                                                                                      SimTlv::hex("DF26", "000000001250"),
                                                                                      SimTlv::hex("5F2A", "0978")})});
    }

    HostRecorder reports;
    SimSerialTerminal terminal;
    const std::shared_ptr<oxa::ReleaseThread> releaseThread = std::make_shared<oxa::ReleaseThread>();
    std::unique_ptr<vorsam::SerialServer> server = vorsam::makeSerialServer();
    std::shared_ptr<oxa::ZUVASerialServerListener> listener;
    std::function<void(QJsonDocument)> selling;
    // The service's "serialHeartBeatInterval"; 0: none. Long enough for a
    // result callback to start the next sale before it, also when slow.
    int heartBeatMilliseconds = static_cast<int>(scaled(std::chrono::milliseconds(100)).count());
};

// The terminal falls silent while the host is idle, and again while it keeps
// selling: each result starts the next sale, so the heartbeat, paused from
// each sale's start to its end, gets no room. Each sale's frame is lost and
// fails it alone, the link staying up, until the line stays idle for the
// heartbeat and its repeats.
TEST_F(SerialListener, ASilentTerminalIsReportedDisconnectedOnceAndIdentifiedAgainWhenItAnswers)
{
    terminal.identifyAs("SER00002");
    ASSERT_TRUE(server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    size_t round = 0;
    for (const bool selling : {false, true}) {
        SCOPED_TRACE(selling ? "selling" : "idle");
        ++round;
        const size_t framesBefore = terminal.link().messageCount();
        terminal.setSilent(true);
        if (selling)
            sellOn(listener->getTerminalConnection("SER00002"), 3);
        ASSERT_TRUE(reports.waitFor("disconnected", round));
        EXPECT_EQ(reports.last("disconnected"), reports.last("connected"));
        // Still known while its port is open, as the C header says: found and
        // described but not listed, and a transaction fails at once.
        // (The connection is not held: closing waits for its end.)
        ASSERT_TRUE(listener->getTerminalConnection("SER00002"));
        EXPECT_FALSE(listener->getConnectionDescription("SER00002").isEmpty());
        EXPECT_TRUE(listener->getTerminalDocuments().empty());
        listener->getTerminalConnection("SER00002")->makeTransaction(
            QJsonDocument::fromJson(QByteArray::fromStdString(informationRequest())), reports.recorderFor("result"), {});
        ASSERT_TRUE(reports.waitFor("result", round));
        EXPECT_EQ(errorCodes(reports.last("result")), NetworkError);
        if (selling) {
            ASSERT_TRUE(reports.waitFor("sale", 3));
            for (const QJsonObject& sale : reports.documents("sale"))
                EXPECT_EQ(errorCodes(sale), NetworkError);
            const std::vector<Bytes> frames = terminal.link().messages();
            EXPECT_EQ(std::set<Bytes>(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end()).size(), 3u);
            EXPECT_LT(reports.position("sale", 2), reports.position("disconnected", 1));
        }

        terminal.setSilent(false);
        ASSERT_TRUE(reports.waitFor("connected", round + 1));
        EXPECT_EQ(reports.count("disconnected"), round);
    }
    EXPECT_EQ(terminal.requestCount("Ci"), 3u);
    close();
    EXPECT_EQ(reports.count("disconnected"), 3u);
}

// A transaction set aside by a cancellation still awaits its reply: the
// heartbeat stays paused until it comes, and runs again after it; the
// heartbeat then finds the terminal gone, and the connection serves it again
// once it answers.
TEST_F(SerialListener, ATransactionSetAsideKeepsTheHeartbeatPausedUntilItsReply)
{
    // The listeners run on the server's thread, which thus needs the host's stack.
    server->registerListener(std::make_shared<OpenProbe>(reports));
    const auto connection = connectTerminalLeavingMMIOpenUnanswered("SER00003");
    ASSERT_TRUE(connection);
    setAsideAnUnansweredTransaction(connection, "result");
    const int paused = terminal.link().emptyFrames();
    EXPECT_TRUE(holdsThroughout([&] { return terminal.link().emptyFrames() == paused; }, 1000ms));
    terminal.sendMessage(SimTerminal::replyTo(terminal.requests().at(1)));
    ASSERT_TRUE(reports.waitFor("result", 1));
    EXPECT_TRUE(reports.first("result").contains("result"));
    ASSERT_TRUE(waitUntil([&] { return terminal.link().emptyFrames() > paused + 2; }));
    cutAndMendTheCable();
    EXPECT_EQ(reports.count("opened"), 1u);
}

// The loss is handled on the release thread, which a host callback may keep
// busy while the link comes back and the host sends on it: the loss fails
// nothing sent once the link was back, and is reported before the return.
TEST_F(SerialListener, ALossHandledAfterTheLinkCameBackFailsNothingSentSince)
{
    const auto connection = connectTerminalLeavingMMIOpenUnanswered("SER00004");
    ASSERT_TRUE(connection);
    {
        HeldReleaseThread held(releaseThread);
        terminal.setSilent(true);
        ASSERT_TRUE(waitUntil([&] { return listener->getTerminalDocuments().empty(); }));
        terminal.setSilent(false);
        ASSERT_TRUE(waitUntil([&] { return listener->getTerminalDocuments().size() == 1; }));
        send(connection, {{"action", "MMIOpen"}}, "new");
        ASSERT_TRUE(terminal.waitForRequests("Ck", 1));
    }
    ASSERT_TRUE(reports.waitFor("connected", 2));
    EXPECT_EQ(reports.count("new"), 0u);
    terminal.sendMessage(SimTerminal::replyTo(terminal.requests().back()));
    ASSERT_TRUE(reports.waitFor("new", 1));
    EXPECT_TRUE(reports.first("new").contains("result")) << errorCodes(reports.first("new")).second;
    EXPECT_LT(reports.position("disconnected"), reports.position("connected", 1));
}

// A sale sent while the terminal does not answer fails with the lost link;
// the terminal, back, reads it and approves it. The approval is reported once,
// the sale keeps its result and the terminal is served again.
TEST_F(SerialListener, AnApprovalAfterTheSaleFailedIsReportedOnceAndChangesNothing)
{
    const CertificationLog log;
    const QString warning = "Reply Rd to Sale came after the transaction had failed and was dropped: "
                            "amount 12.50 EUR, transaction identifier 000777";
    terminal.identifyAs("SER00004");
    terminal.on("Cd", [](const SimMessage& request) { return SimTerminal::answer(approvalOf(request)); });
    ASSERT_TRUE(server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    const auto connection = listener->getTerminalConnection("SER00004");
    ASSERT_TRUE(connection);
    const auto send = [&](const QJsonObject& transaction) {
        connection->makeTransaction(QJsonDocument(QJsonObject{{"transaction", transaction}}),
                                    reports.recorderFor("result"), {});
    };

    terminal.setSilent(true);
    send({{"action", "Sale"}, {"amount", "12.50"}});
    ASSERT_TRUE(reports.waitFor("result", 1));
    EXPECT_EQ(errorCodes(reports.first("result")), NetworkError);
    ASSERT_TRUE(reports.waitFor("disconnected", 1));
    terminal.setSilent(false);
    ASSERT_TRUE(reports.waitFor("connected", 2));
    terminal.answerHeldRequests();
    ASSERT_TRUE(terminal.waitForRequests("Cd", 1));
    EXPECT_TRUE(waitUntil([&] { return log.text().contains(warning); })) << log.text().toStdString();

    send({{"action", "InformationService"}});
    ASSERT_TRUE(reports.waitFor("result", 2));
    EXPECT_EQ(reports.last("result").value("result").toObject().value("terminalIdentifier"), "SER00004");
    EXPECT_EQ(log.text().count(warning), 1);
    EXPECT_EQ(reports.count("result"), 2u);
    terminal.answerHeldRequests(); // none left
    EXPECT_EQ(terminal.requestCount("Cd"), 1u);
}

// A sale the terminal holds (card and PIN under way) gets no frame but its
// own, with a heartbeat or none; a heartbeat runs before and after it. A
// cable cut once the terminal has acknowledged the request shows only when
// the sale ends (here the host resets it): the heartbeat that resumes then
// finds the terminal gone. Without a heartbeat nothing does: the next
// transaction's lost frame fails it alone, and the terminal stays connected.
class SerialCableCut : public SerialListener, public ::testing::WithParamInterface<int> {
protected:
    SerialCableCut() { heartBeatMilliseconds = GetParam(); }
};

TEST_P(SerialCableCut, DuringASaleShowsOnlyOnceTheSaleEnds)
{
    const bool heartBeat = GetParam() != 0;
    terminal.identifyAs("SER00006");
    terminal.on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_TRUE(server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    const auto connection = listener->getTerminalConnection("SER00006");
    ASSERT_TRUE(connection);
    const auto emptyFrames = [&] { return terminal.link().emptyFrames(); };
    // The probe may have been repeated before its ACK was read.
    const int probes = emptyFrames();
    const QJsonObject sale{{"action", "Sale"}, {"amount", "12.50"}};
    if (heartBeat) {
        ASSERT_TRUE(waitUntil([&] { return emptyFrames() > 2; }));
    }

    send(connection, sale, "held");
    ASSERT_TRUE(terminal.waitForRequests("Cd", 1));
    const int held = emptyFrames();
    // Held for seconds, as a card and PIN dialogue holds it: a heartbeat would
    // show within its interval; without one, nothing may come in the whole
    // span, which is real time, not stretched under emulation.
    const auto span = heartBeat ? 1500ms : 6000ms / (scaled(1ms) / 1ms);
    EXPECT_TRUE(holdsThroughout([&] { return emptyFrames() == held; }, span));
    terminal.sendMessage(approvalOf(terminal.requests().back()));
    ASSERT_TRUE(reports.waitFor("held", 1));
    EXPECT_TRUE(reports.first("held").contains("result"));
    if (heartBeat) {
        ASSERT_TRUE(waitUntil([&] { return emptyFrames() > held + 2; }));
    }

    send(connection, sale, "cut");
    ASSERT_TRUE(terminal.waitForRequests("Cd", 2));
    terminal.setSilent(true);
    connection->resetTransactions();
    ASSERT_TRUE(reports.waitFor("cut", 1));
    EXPECT_EQ(errorCodes(reports.first("cut")), std::make_pair(2, 30));
    if (heartBeat) {
        ASSERT_TRUE(reports.waitFor("disconnected", 1));
        terminal.setSilent(false);
        ASSERT_TRUE(reports.waitFor("connected", 2));
        EXPECT_EQ(terminal.requestCount("Ci"), 2u);
        return;
    }
    send(connection, sale, "lost");
    ASSERT_TRUE(reports.waitFor("lost", 1));
    EXPECT_EQ(errorCodes(reports.first("lost")), NetworkError);
    terminal.setSilent(false);
    send(connection, {{"action", "InformationService"}}, "after");
    ASSERT_TRUE(reports.waitFor("after", 1));
    EXPECT_EQ(reports.first("after").value("result").toObject().value("terminalIdentifier"), "SER00006");
    EXPECT_EQ(reports.count("disconnected"), 0u);
    EXPECT_EQ(emptyFrames(), probes); // nothing of its own since the link came up
}

INSTANTIATE_TEST_SUITE_P(HeartBeat, SerialCableCut, ::testing::Values(200, 0));

// The host's reset tells the terminal nothing: it may still approve the sale.
// The approval is reported once and the sale keeps its 2/30; so is one that
// answers no sale of this process.
TEST_F(SerialListener, AnApprovalAfterTheHostResetTheSaleIsReportedOnce)
{
    const CertificationLog log;
    terminal.identifyAs("SER00005");
    terminal.on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_TRUE(server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    const auto connection = listener->getTerminalConnection("SER00005");
    ASSERT_TRUE(connection);
    int reset = 0;
    for (const char* action : {"Sale", "SaleWithDeliveryConfirmation"}) {
        SCOPED_TRACE(action);
        send(connection, {{"action", action}, {"amount", "12.50"}}, action);
        ASSERT_TRUE(terminal.waitForRequests("Cd", size_t(++reset)));
        connection->resetTransactions();
        ASSERT_TRUE(reports.waitFor(action, 1));
        EXPECT_EQ(errorCodes(reports.first(action)), std::make_pair(2, 30));

        terminal.sendMessage(approvalOf(terminal.requests().back()));
        const QString warning = QString("Reply Rd to %1 came after the transaction had failed and was dropped: "
                                        "amount 12.50 EUR, transaction identifier 000777").arg(action);
        EXPECT_TRUE(waitUntil([&] { return log.text().contains(warning); })) << log.text().toStdString();
        // One of a sale sent elsewhere is reported too.
        SimMessage elsewhere = terminal.requests().back();
        elsewhere.sequence += 50;
        terminal.sendMessage(approvalOf(elsewhere));
        EXPECT_TRUE(waitUntil([&] {
            return log.text().count("Reply Rd came while no transaction awaited it and was dropped: amount 12.50 EUR, "
                                    "transaction identifier 000777") == reset;
        })) << log.text().toStdString();
        EXPECT_EQ(log.text().count("came after"), reset);
        EXPECT_EQ(reports.count(action), 1u);
    }
}

} // namespace
} // namespace testsupport
