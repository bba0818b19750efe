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
        timings.supervisionInterval = scaled(100ms);
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

    // Sends MMIOpen, which the terminal leaves unanswered, and sets it
    // aside by a cancellation, so that the heartbeat can find the terminal
    // gone while it is in flight.
    // The terminal falls silent: the transaction fails 2/18 before the
    // terminal is reported disconnected; it answers again and is identified.
    void cutAndMendTheCable(const std::string& kind)
    {
        terminal.setSilent(true);
        ASSERT_TRUE(reports.waitFor("disconnected", 1));
        ASSERT_TRUE(reports.waitFor(kind, 1));
        EXPECT_EQ(errorCodes(reports.first(kind)), NetworkError);
        EXPECT_LT(reports.position(kind), reports.position("disconnected"));
        terminal.setSilent(false);
        ASSERT_TRUE(reports.waitFor("connected", 2));
    }

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
    // The service's "serialHeartBeatInterval"; 0: none.
    int heartBeatMilliseconds = 100;
};

// The terminal falls silent while the host is idle, and again while it keeps
// selling: each result starts the next sale, and the lost frame of a sale
// takes the link down.
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
            // The first sale's frame took the link down; the next ones failed without reaching the line.
            const std::vector<Bytes> frames = terminal.link().messages();
            EXPECT_LE(std::set<Bytes>(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end()).size(), 1u);
        }

        terminal.setSilent(false);
        ASSERT_TRUE(reports.waitFor("connected", round + 1));
        EXPECT_EQ(reports.count("disconnected"), round);
    }
    EXPECT_EQ(terminal.requestCount("Ci"), 3u);
    close();
    EXPECT_EQ(reports.count("disconnected"), 3u);
}

// A transaction set aside by a cancellation is still in flight when the
// heartbeat finds the terminal gone. It fails before the host hears of the
// loss, and the connection serves the terminal again once it answers.
TEST_F(SerialListener, ALostLinkFailsTheTransactionsInFlightBeforeTheDisconnectionIsReported)
{
    // The listeners run on the server's thread, which thus needs the host's stack.
    server->registerListener(std::make_shared<OpenProbe>(reports));
    const auto connection = connectTerminalLeavingMMIOpenUnanswered("SER00003");
    ASSERT_TRUE(connection);
    setAsideAnUnansweredTransaction(connection, "result");
    cutAndMendTheCable("result");
    EXPECT_EQ(reports.count("opened"), 1u);
}

// The loss is handled on the release thread, which a host callback may keep
// busy while the link comes back and the host sends on it: the loss fails
// only what was in flight on the lost link, still before its report.
TEST_F(SerialListener, ALossHandledAfterTheLinkCameBackFailsOnlyWhatTheLostLinkCarried)
{
    const auto connection = connectTerminalLeavingMMIOpenUnanswered("SER00004");
    ASSERT_TRUE(connection);
    setAsideAnUnansweredTransaction(connection, "lost");
    {
        HeldReleaseThread held(releaseThread);
        terminal.setSilent(true);
        ASSERT_TRUE(waitUntil([&] { return listener->getTerminalDocuments().empty(); }));
        terminal.setSilent(false);
        ASSERT_TRUE(waitUntil([&] { return listener->getTerminalDocuments().size() == 1; }));
        send(connection, {{"action", "MMIOpen"}}, "new");
        ASSERT_TRUE(terminal.waitForRequests("Ck", 2));
    }
    ASSERT_TRUE(reports.waitFor("connected", 2));
    EXPECT_EQ(reports.count("new"), 0u);
    terminal.sendMessage(SimTerminal::replyTo(terminal.requests().back()));
    ASSERT_TRUE(reports.waitFor("new", 1));
    EXPECT_TRUE(reports.first("new").contains("result")) << errorCodes(reports.first("new")).second;
    EXPECT_EQ(errorCodes(reports.first("lost")), NetworkError);
    EXPECT_LT(reports.position("lost"), reports.position("disconnected"));
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

// The cable is cut once the terminal has acknowledged a sale's request (card
// and PIN under way), with a heartbeat or none: the link is probed while the
// sale awaits its reply, which a terminal that acknowledges leaves going. Cut,
// the sale fails before the terminal is reported disconnected, and the cable
// mended, the terminal is identified again.
class SerialCableCut : public SerialListener, public ::testing::WithParamInterface<int> {
protected:
    SerialCableCut() { heartBeatMilliseconds = GetParam(); }
};

TEST_P(SerialCableCut, WhileASaleAwaitsItsReplyFailsTheSaleAndIsReported)
{
    terminal.identifyAs("SER00006");
    terminal.on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_TRUE(server->open(QString::fromStdString(terminal.portName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(reports.waitFor("connected", 1));
    send(listener->getTerminalConnection("SER00006"), {{"action", "Sale"}, {"amount", "12.50"}}, "sale");
    ASSERT_TRUE(terminal.waitForRequests("Cd", 1));
    const int probes = terminal.link().emptyFrames();
    ASSERT_TRUE(waitUntil([&] { return terminal.link().emptyFrames() > probes + 2; }));
    EXPECT_EQ(reports.count("sale"), 0u);
    cutAndMendTheCable("sale");
    EXPECT_EQ(terminal.requestCount("Ci"), 2u);
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
