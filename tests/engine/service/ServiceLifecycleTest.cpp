#include "ServiceFixture.h"

#include <QJsonArray>

#include <atomic>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// Holds a listening socket so that nobody else can listen on its port.
class PortBlocker {
public:
    PortBlocker()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 1);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~PortBlocker() { ::close(m_socket); }
    uint16_t port() const { return m_port; }

private:
    int m_socket = -1;
    uint16_t m_port = 0;
};

} // namespace

TEST(ServiceLifecycle, StartedBeforeReturnAndStoppedExactlyOnce)
{
    HostRecorder host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    void* handle = host.start(port);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(host.count("started"), 1u);
    EXPECT_EQ(host.events().front().json, "");

    EXPECT_EQ(zuva_stopService(handle), 0);
    EXPECT_EQ(host.count("stopped"), 1u);
    EXPECT_EQ(zuva_stopService(handle), 0);
    int never = 0;
    EXPECT_EQ(zuva_stop_service(&never), 0);
    EXPECT_EQ(host.count("stopped"), 1u);
    EXPECT_EQ(host.count("error"), 0u);
}

TEST(ServiceLifecycle, PortThatCannotBeListenedOnIsAServiceError)
{
    PortBlocker blocker;
    HostRecorder host;
    EXPECT_EQ(host.start(blocker.port()), nullptr);
    EXPECT_EQ(host.count("started"), 0u);
    ASSERT_EQ(host.count("error"), 1u);
    const QJsonObject error = errorOf(host.documents("error").front());
    EXPECT_EQ(error.value("code").toInt(), 2);
    EXPECT_EQ(error.value("causeCode").toInt(), 1);
    EXPECT_FALSE(reasonOf(host.documents("error").front()).empty());
}

TEST(ServiceLifecycle, NullCallbacksAreNeverCalled)
{
    const uint16_t port = SimTerminal::freeLoopbackPort();
    void* handle = zuva_start_tcpip_service(port, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(handle, nullptr);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    terminal.sendAdvice();
    ASSERT_TRUE(waitUntil([] { return zuva_is_terminal_connected("TERM0001") == 0; }));
    EXPECT_EQ(zuvaServiceEnableNotifications("TERM0001", 1), 0);
    terminal.sendSynchronizationAdvice("80");
    EXPECT_EQ(zuva_send_transaction("TERM0001", "{}", nullptr, nullptr, nullptr, nullptr, nullptr), -1);
    terminal.close();
    ASSERT_TRUE(waitUntil([] { return zuva_is_terminal_connected("TERM0001") == -1; }));
    EXPECT_EQ(zuva_stop_service(handle), 0);
}

TEST(ServiceLifecycle, VersionDocumentIsExact)
{
    EXPECT_EQ(takeText(zuva_getVersionInformation()), "{ \"versionInformation\" : { \"library\" : \"2.2.0\" }}");
    EXPECT_EQ(takeText(zuva_get_version_information()),
              "{ \"versionInformation\" : { \"library\" : \"2.2.0\" }}");
    zuva_free(nullptr);
}

TEST(ServiceLifecycle, SettingsAreReplacedAsAWholeAndNonObjectsIgnored)
{
    zuva_setSettings("{\"serviceSettings\": {\"connectionAdviceTimeout\": 3000, \"currencyCode\": \"CHF\"}}");
    QJsonObject settings =
        takeObject(zuva_get_service_settings()).value("environment").toObject().value("serviceSettings").toObject();
    EXPECT_EQ(settings.size(), 2);
    EXPECT_EQ(settings.value("connectionAdviceTimeout").toInt(), 3000);
    EXPECT_EQ(settings.value("currencyCode").toString(), "CHF");

    EXPECT_EQ(zuva_set_service_settings("[]"), 0);
    EXPECT_EQ(zuva_setSettings("not json"), 0);
    EXPECT_EQ(zuva_setSettings(nullptr), 0);
    settings = takeObject(zuva_getSettings()).value("environment").toObject().value("serviceSettings").toObject();
    EXPECT_EQ(settings.size(), 2);

    zuva_setSettings("{\"serviceSettings\": {\"cardRecognitionTimeout\": 45, \"cardInfoTrailingRequestTimeout\": "
                     "30, \"connectionAdviceTimeout\": 1500, \"certificationModeEnabled\": false, "
                     "\"currencyCode\": \"EUR\", \"displayResultTimeout\": 2}}");
    settings = takeObject(zuva_getSettings()).value("environment").toObject().value("serviceSettings").toObject();
    EXPECT_EQ(settings.value("cardRecognitionTimeout").toInt(), 45);
    EXPECT_EQ(settings.value("certificationModeEnabled").toBool(true), false);
}

using TerminalAdvice = ServiceFixture;

TEST_F(TerminalAdvice, AdviceInTimeReportsTheTerminalDescription)
{
    auto terminal = connectTerminal("TERM0001");
    const QJsonObject description = host.documents("connected").front().value("terminal").toObject();
    EXPECT_EQ(description.value("deviceType").toString(), "04");
    EXPECT_EQ(description.value("deviceTypeName").toString(), "Terminal");
    EXPECT_EQ(description.value("terminalIdentifier").toString(), "TERM0001");
    EXPECT_EQ(description.value("terminalModel").toString(), "SIM-1");
    EXPECT_EQ(description.value("terminalSerialNumber").toString(), "SN0001");
    EXPECT_EQ(description.value("softwareVersion").toString(), "1.0.0");
    EXPECT_FALSE(description.contains("EMVKernelVersion"));

    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);
    EXPECT_EQ(zuva_is_terminal_connected("TERM0002"), -1);

    const QJsonArray terminals = takeObject(zuva_getConnectedTerminals()).value("terminals").toArray();
    ASSERT_EQ(terminals.size(), 1);
    EXPECT_EQ(terminals.at(0).toObject(), description);

    const QJsonObject connection =
        takeObject(zuva_get_connection_description("TERM0001")).value("terminalConnection").toObject();
    EXPECT_EQ(connection.value("ip").toString(), "127.0.0.1");
    EXPECT_TRUE(connection.value("port").isDouble());
    EXPECT_EQ(connection.value("port").toInt(), terminal->localPort());
    EXPECT_EQ(takeText(zuva_getConnectionDescription("TERM0002")), "");

    zuva_stopTerminal("TERM0001");
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);

    terminal->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_EQ(host.documents("disconnected").front(), host.documents("connected").front());
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), -1);
}

TEST_F(TerminalAdvice, SilentSocketIsDroppedWithoutAnyReport)
{
    setAdviceTimeout(200);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    EXPECT_TRUE(terminal.waitForPeerClose());
    // Too late: the socket is gone and nothing is reported.
    terminal.sendAdvice();
    EXPECT_EQ(host.count("connected"), 0u);
    EXPECT_EQ(host.count("disconnected"), 0u);
    EXPECT_EQ(takeObject(zuva_getConnectedTerminals()).value("terminals").toArray().size(), 0);
}

TEST_F(TerminalAdvice, SocketClosingBeforeItsAdviceIsNotReportedDisconnected)
{
    {
        SimTerminal early;
        ASSERT_TRUE(early.connectTo(port));
    }
    auto terminal = connectTerminal("TERM0001");
    terminal->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_EQ(host.count("disconnected"), 1u);
    EXPECT_LT(host.position("connected"), host.position("disconnected"));
}

TEST_F(TerminalAdvice, AdviceWithoutDeviceTypeLeavesItOut)
{
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    SimAdvice advice;
    advice.deviceTypeHex.clear();
    terminal.sendAdvice(advice);
    ASSERT_TRUE(host.waitFor("connected", 1));
    const QJsonObject description = host.documents("connected").front().value("terminal").toObject();
    EXPECT_FALSE(description.contains("deviceType"));
    EXPECT_FALSE(description.contains("deviceTypeName"));
    EXPECT_EQ(description.value("terminalIdentifier").toString(), "TERM0001");
}

TEST_F(TerminalAdvice, AdviceWithEmptyIdentifierIdentifiesNothing)
{
    auto identified = connectTerminal("TERM0001");
    SimTerminal anonymous;
    ASSERT_TRUE(anonymous.connectTo(port));
    SimAdvice empty;
    empty.terminalIdentifier.clear();
    anonymous.sendAdvice(empty);
    // A valid advice within the advice time still identifies the socket.
    SimAdvice valid;
    valid.terminalIdentifier = "TERM0002";
    anonymous.sendAdvice(valid);
    ASSERT_TRUE(host.waitFor("connected", 2));
    EXPECT_FALSE(identified->peerClosed());
    EXPECT_FALSE(anonymous.peerClosed());
    EXPECT_EQ(zuva_isTerminalConnected(""), -1);
    EXPECT_EQ(host.count("disconnected"), 0u);
}

TEST_F(TerminalAdvice, DuplicateIdentifierDropsBothConnections)
{
    auto first = connectTerminal("TERM0001");
    SimTerminal second;
    ASSERT_TRUE(second.connectTo(port));
    second.sendAdvice();
    EXPECT_TRUE(first->waitForPeerClose());
    EXPECT_TRUE(second.waitForPeerClose());
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    EXPECT_EQ(host.documents("disconnected").front(), host.documents("connected").front());
    EXPECT_EQ(host.count("connected"), 1u);
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("TERM0001") == -1; }));

    // Once the old connections are gone the terminal is welcome again.
    auto third = connectTerminal("TERM0001", 1);
    EXPECT_EQ(zuva_isTerminalConnected("TERM0001"), 0);
    EXPECT_EQ(host.count("disconnected"), 1u);
}

TEST(ServiceLifecycle, RecoveryFilesAreListedAsAnArray)
{
    const QJsonDocument all = QJsonDocument::fromJson(QByteArray::fromStdString(takeText(zuva_getRecoveryFiles(nullptr))));
    EXPECT_TRUE(all.isArray());
    const QJsonDocument one =
        QJsonDocument::fromJson(QByteArray::fromStdString(takeText(zuva_get_recovery_files("NO-SUCH-TERMINAL"))));
    ASSERT_TRUE(one.isArray());
    EXPECT_TRUE(one.array().isEmpty());
    EXPECT_EQ(zuva_extract_recovery_files(nullptr, nullptr, 0), 0);
}

TEST_F(TerminalAdvice, ConnectedTerminalsListsAnnouncedTerminalsOnly)
{
    auto first = connectTerminal("TERM0001");
    SimTerminal silent;
    ASSERT_TRUE(silent.connectTo(port));
    auto second = connectTerminal("TERM0002", 1);
    QJsonArray terminals = takeObject(zuva_getConnectedTerminals()).value("terminals").toArray();
    ASSERT_EQ(terminals.size(), 2);
    EXPECT_EQ(terminals.at(0).toObject().value("terminalIdentifier").toString(), "TERM0001");
    EXPECT_EQ(terminals.at(1).toObject().value("terminalIdentifier").toString(), "TERM0002");

    first->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    terminals = takeObject(zuva_get_connected_terminals()).value("terminals").toArray();
    ASSERT_EQ(terminals.size(), 1);
    EXPECT_EQ(terminals.at(0).toObject().value("terminalIdentifier").toString(), "TERM0002");
}

TEST_F(TerminalAdvice, StoppingWhileAnAdviceIsAwaitedIsQuiet)
{
    setAdviceTimeout(50);
    SimTerminal waiting;
    ASSERT_TRUE(waiting.connectTo(port));
    host.stop();
    EXPECT_TRUE(waiting.waitForPeerClose());
    EXPECT_EQ(host.count("disconnected"), 0u);
    EXPECT_EQ(host.count("stopped"), 1u);
}

namespace {

// A host that stops its service from inside the first callback of a kind.
struct StoppingHost {
    void* handle = nullptr;
    std::atomic<int> stopped{0};
    std::atomic<int> disconnected{0};

    static void stopNow(const char*, void* data)
    {
        auto* host = static_cast<StoppingHost*>(data);
        host->disconnected++;
        zuva_stopService(host->handle);
    }
    static void countStop(const char*, void* data) { static_cast<StoppingHost*>(data)->stopped++; }
};

} // namespace

TEST(ServiceLifecycle, StoppingFromInsideACallbackDoesNotHang)
{
    StoppingHost host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    host.handle = zuva_createTcpIpService(port, nullptr, &StoppingHost::countStop, nullptr, &StoppingHost::stopNow,
                                          nullptr, nullptr, &host);
    ASSERT_NE(host.handle, nullptr);
    SimTerminal terminal;
    ASSERT_TRUE(terminal.connectTo(port));
    SimAdvice advice;
    advice.terminalIdentifier = "STOPPER1";
    terminal.sendAdvice(advice);
    ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("STOPPER1") == 0; }));
    terminal.close();
    EXPECT_TRUE(waitUntil([&] { return host.stopped == 1; }));
    EXPECT_EQ(host.disconnected, 1);
}
