#include "engine/service/ZUVATcpIpServerListener.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QTimer>

#include <chrono>
#include <thread>

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

// A host call in progress (a request being handed over, say) may still hold
// the connection for a moment; its end is what delivers the last results.
void awaitRelease(const std::weak_ptr<TerminalConnection>& connection)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!connection.expired() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

ZUVATcpIpServerListener::ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment,
                                                 Callback onTerminalConnect, Callback onTerminalDisconnect,
                                                 Callback onNotification)
    : m_reports(std::move(onTerminalConnect), std::move(onTerminalDisconnect), std::move(onNotification))
    , m_factory(environment)
    , m_environment(environment)
{
}

ZUVATcpIpServerListener::~ZUVATcpIpServerListener()
{
    std::lock_guard<std::mutex> lock(m_liveness->mutex);
    m_liveness->alive = false;
}

void ZUVATcpIpServerListener::onConnect(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    const auto socket = weakSocket.lock();
    if (!socket)
        return;
    {
        std::lock_guard<std::mutex> lock(m_liveness->mutex);
        if (!m_liveness->alive)
            return;
    }
    socket->setKeepAliveEnabled(true);
    startAdviceTimer(socket);
    Terminal record;
    record.socket = socket;
    record.connection = m_factory.create(socket, notificationFor(socket));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_terminals.push_back(std::move(record));
}

void ZUVATcpIpServerListener::startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    int timeout = m_environment->get(QStringLiteral("connectionAdviceTimeout")).toInt();
    if (timeout <= 0)
        timeout = DefaultAdviceTimeoutMs;
    std::weak_ptr<Liveness> liveness = m_liveness;
    std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    QTimer::singleShot(timeout, [this, liveness, weakSocket] {
        const auto guard = liveness.lock();
        const auto socket = weakSocket.lock();
        if (!guard || !socket)
            return;
        bool givenUp = false;
        {
            std::lock_guard<std::mutex> lock(guard->mutex);
            givenUp = guard->alive && giveUpWithoutAdvice(socket);
        }
        if (givenUp)
            socket->disconnect();
    });
}

std::function<void(QJsonDocument)> ZUVATcpIpServerListener::notificationFor(
    const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    std::weak_ptr<Liveness> liveness = m_liveness;
    std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    return [this, liveness, weakSocket](QJsonDocument document) {
        const auto guard = liveness.lock();
        const auto socket = weakSocket.lock();
        if (!guard || !socket)
            return;
        Sockets toDisconnect;
        {
            std::lock_guard<std::mutex> lock(guard->mutex);
            if (guard->alive)
                toDisconnect = handleNotification(document, socket);
        }
        // Outside every lock: a disconnection waits for the socket's thread.
        for (const auto& closing : toDisconnect)
            closing->disconnect();
    };
}

ZUVATcpIpServerListener::Terminal* ZUVATcpIpServerListener::findConnection(
    const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    for (auto& record : m_terminals)
        if (record.socket == socket)
            return &record;
    return nullptr;
}

const ZUVATcpIpServerListener::Terminal* ZUVATcpIpServerListener::findIdentified(
    const QString& terminalIdentifier) const
{
    if (terminalIdentifier.isEmpty())
        return nullptr;
    for (const auto& record : m_terminals)
        if (record.reported && !record.givenUp && record.terminalIdentifier == terminalIdentifier)
            return &record;
    return nullptr;
}

bool ZUVATcpIpServerListener::giveUpWithoutAdvice(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Terminal* record = findConnection(socket);
    if (!record || record->reported || record->givenUp)
        return false;
    record->givenUp = true;
    return true;
}

ZUVATcpIpServerListener::Sockets ZUVATcpIpServerListener::handleNotification(
    QJsonDocument document, const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const QJsonObject object = document.object();
    if (object.contains(QStringLiteral("terminal")))
        return handleConnectionAdvice(document, socket);
    if (object.contains(QStringLiteral("event")))
        handleEvent(object, socket);
    return Sockets();
}

ZUVATcpIpServerListener::Sockets ZUVATcpIpServerListener::handleConnectionAdvice(
    const QJsonDocument& document, const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const QString identifier = document.object()
                                   .value(QStringLiteral("terminal"))
                                   .toObject()
                                   .value(QStringLiteral("terminalIdentifier"))
                                   .toString();
    // Without an identifier the advice identifies nothing: keep waiting.
    if (identifier.isEmpty())
        return Sockets();
    std::unique_lock<std::mutex> lock(m_mutex);
    Terminal* record = findConnection(socket);
    if (!record || record->givenUp)
        return Sockets();
    record->document = document;
    record->terminalIdentifier = identifier;
    Sockets toDisconnect;
    if (supersedeOlderConnections(identifier, *record, toDisconnect)) {
        // The terminal is to connect again once its old connections are gone.
        // The connection is released later, on the server's thread, by the
        // disconnection: this is its own response-handler thread.
        record->givenUp = true;
        toDisconnect.push_back(socket);
        return toDisconnect;
    }
    record->reported = true;
    const auto reportMutex = record->reportMutex;
    const std::weak_ptr<TerminalConnection> connection = record->connection;
    std::lock_guard<std::mutex> reporting(*reportMutex);
    lock.unlock();
    m_reports.connected(document, connection);
    return Sockets();
}

bool ZUVATcpIpServerListener::supersedeOlderConnections(const QString& terminalIdentifier, const Terminal& newest,
                                                        Sockets& toDisconnect)
{
    bool found = false;
    for (auto& record : m_terminals) {
        if (&record == &newest || record.givenUp || record.terminalIdentifier != terminalIdentifier)
            continue;
        found = true;
        if (!record.superseded) {
            record.superseded = true;
            toDisconnect.push_back(record.socket);
        }
    }
    return found;
}

void ZUVATcpIpServerListener::handleEvent(QJsonObject object, const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    std::weak_ptr<TerminalConnection> connection;
    QString identifier;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findConnection(socket);
        if (!record || record->givenUp)
            return;
        identifier = record->terminalIdentifier;
        connection = record->connection;
    }
    m_reports.event(std::move(object), identifier, connection);
}

void ZUVATcpIpServerListener::onDisconnect(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    const auto socket = weakSocket.lock();
    if (!socket)
        return;
    Terminal record;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Terminal* found = findConnection(socket);
        if (!found)
            return;
        record = std::move(*found);
        m_terminals.erase(m_terminals.begin() + (found - m_terminals.data()));
    }
    reportClosed(std::move(record));
}

void ZUVATcpIpServerListener::reportClosed(Terminal&& record)
{
    std::shared_ptr<TerminalConnection> closing = std::move(record.connection);
    const std::weak_ptr<TerminalConnection> connection = closing;
    if (closing) {
        closing->onClose();
        // Ending the connection here gives every transaction still in flight
        // its result before the host hears of the disconnection.
        closing.reset();
        awaitRelease(connection);
    }
    if (!record.reported)
        return;
    std::lock_guard<std::mutex> reporting(*record.reportMutex);
    m_reports.disconnected(record.document, connection);
}

void ZUVATcpIpServerListener::onDataPending(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    const auto socket = weakSocket.lock();
    if (!socket)
        return;
    std::shared_ptr<TerminalConnection> connection;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findConnection(socket);
        if (!record || record->givenUp)
            return;
        connection = record->connection;
    }
    connection->onDataReady();
}

std::shared_ptr<TerminalConnection> ZUVATcpIpServerListener::getTerminalConnection(
    const QString& terminalIdentifier) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Terminal* record = findIdentified(terminalIdentifier);
    return record ? record->connection : nullptr;
}

QJsonDocument ZUVATcpIpServerListener::getConnectionDescription(const QString& terminalIdentifier) const
{
    std::shared_ptr<vorsam::TcpIpSocket> socket;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findIdentified(terminalIdentifier);
        if (!record)
            return QJsonDocument();
        socket = record->socket;
    }
    return TerminalReports::connectionDescription(
        QJsonObject{{QStringLiteral("ip"), plainAddress(socket->getAddress())},
                    {QStringLiteral("port"), static_cast<int>(socket->getPort())}});
}

std::vector<QJsonDocument> ZUVATcpIpServerListener::getTerminalDocuments() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TerminalReports::reportedDocuments(m_terminals);
}

void ZUVATcpIpServerListener::closeAll()
{
    {
        std::lock_guard<std::mutex> lock(m_liveness->mutex);
        m_liveness->alive = false;
    }
    std::vector<Terminal> records;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        records.swap(m_terminals);
    }
    for (auto& record : records)
        reportClosed(std::move(record));
}

} // namespace oxa
