#include "engine/service/ZUVATcpIpServerListener.h"

#include <QHostAddress>

namespace oxa {

namespace {

constexpr int DefaultAdviceTimeoutMs = 1500;

// A server listening on every address sees IPv4 peers as IPv4-mapped IPv6
// addresses ("::ffff:10.0.0.5"); the host is given the IPv4 address itself.
QString plainAddress(const QString& address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = QHostAddress(address).toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : address;
}

} // namespace

ZUVATcpIpServerListener::ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment,
                                                 Callback onTerminalConnect, Callback onTerminalDisconnect,
                                                 Callback onNotification, std::shared_ptr<ReleaseThread> releaseThread)
    : TerminalListener(std::move(onTerminalConnect), std::move(onTerminalDisconnect), std::move(onNotification),
                       std::move(releaseThread))
    , m_factory(environment)
    , m_environment(environment)
{
}

ZUVATcpIpServerListener::~ZUVATcpIpServerListener()
{
    // Here, not in the base: a visit under way still uses this class's members.
    records().endVisits();
}

void ZUVATcpIpServerListener::onConnect(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    TerminalRecords::visit(weakRecords(), weakSocket,
                           [this](const std::shared_ptr<vorsam::TcpIpSocket>& socket) { accept(socket); });
}

void ZUVATcpIpServerListener::accept(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    socket->setKeepAliveEnabled(true);
    records().add(socket, m_factory.create(socket, notificationFor(socket)));
    startAdviceTimer(socket);
}

// Disconnecting waits for the socket's thread, which may take a while to
// send what it still holds: no listener thread waits for it.
void ZUVATcpIpServerListener::disconnectLater(const TerminalRecords::Transport& socket)
{
    const auto closing = std::static_pointer_cast<vorsam::TcpIpSocket>(socket);
    releaseThread().post([closing] { closing->disconnect(); });
}

void ZUVATcpIpServerListener::startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    int timeout = m_environment->get(QStringLiteral("connectionAdviceTimeout")).toInt();
    if (timeout <= 0)
        timeout = DefaultAdviceTimeoutMs;
    const std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    records().after(socket.get(), std::chrono::milliseconds(timeout), [this, weakSocket] {
        if (const auto socket = weakSocket.lock())
            giveUpWithoutAdvice(socket);
    });
}

void ZUVATcpIpServerListener::giveUpWithoutAdvice(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const bool givenUp = records().update(socket.get(), [](TerminalRecords::Record& record) {
        if (record.reported)
            return false;
        record.givenUp = true;
        return true;
    });
    if (givenUp)
        disconnectLater(socket);
}

std::function<void(QJsonDocument)>
ZUVATcpIpServerListener::notificationFor(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const std::weak_ptr<TerminalRecords> weakRecords = this->weakRecords();
    const std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    return [this, weakRecords, weakSocket](QJsonDocument document) {
        TerminalRecords::visit(weakRecords, weakSocket, [&](const std::shared_ptr<vorsam::TcpIpSocket>& socket) {
            handleNotification(document, socket);
        });
    };
}

void ZUVATcpIpServerListener::handleNotification(const QJsonDocument& document,
                                                 const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const QJsonObject object = document.object();
    if (object.contains(QStringLiteral("terminal"))) {
        // A connection released here would wait for this very thread: the
        // socket's disconnection releases it later, on another one. One being
        // closed already is never identified again.
        const auto open = [](const TerminalRecords::Record& record) { return !record.closing; };
        for (const auto& closing : records().identify(socket.get(), document, open))
            disconnectLater(closing);
    } else if (object.contains(QStringLiteral("event"))) {
        records().event(socket.get(), object);
    }
}

void ZUVATcpIpServerListener::onDisconnect(std::weak_ptr<vorsam::TcpIpSocket> socket)
{
    transportClosed(socket);
}

void ZUVATcpIpServerListener::onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket)
{
    dataPending(socket);
}

QJsonObject ZUVATcpIpServerListener::describe(const TerminalRecords::Transport& transport) const
{
    const auto socket = std::static_pointer_cast<vorsam::TcpIpSocket>(transport);
    return QJsonObject{{QStringLiteral("ip"), plainAddress(socket->getAddress())},
                       {QStringLiteral("port"), static_cast<int>(socket->getPort())}};
}

} // namespace oxa
