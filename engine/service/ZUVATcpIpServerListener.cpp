#include "engine/service/ZUVATcpIpServerListener.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

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

class ZUVATcpIpServerListener::Liveness {
public:
    bool enter()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_alive)
            return false;
        ++m_visits;
        return true;
    }

    void leave()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_visits;
        m_idle.notify_all();
    }

    void end()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_alive = false;
        m_idle.wait(lock, [this] { return m_visits == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_idle;
    bool m_alive = true;
    int m_visits = 0;
};

namespace {

// Runs the visit when the listener is still alive.
template <typename Visit>
void visit(const std::weak_ptr<ZUVATcpIpServerListener::Liveness>& liveness, Visit&& visit)
{
    const auto guard = liveness.lock();
    if (!guard || !guard->enter())
        return;
    struct Leave {
        ZUVATcpIpServerListener::Liveness& liveness;
        ~Leave() { liveness.leave(); }
    } leave{*guard};
    visit();
}

} // namespace

class ZUVATcpIpServerListener::Aftermath {
public:
    void set(std::function<void()> aftermath)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_aftermath = std::move(aftermath);
    }

    void run()
    {
        std::function<void()> aftermath;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            aftermath.swap(m_aftermath);
        }
        if (aftermath)
            aftermath();
    }

private:
    std::mutex m_mutex;
    std::function<void()> m_aftermath;
};

ZUVATcpIpServerListener::ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment,
                                                 Callback onTerminalConnect, Callback onTerminalDisconnect,
                                                 Callback onNotification,
                                                 std::shared_ptr<ReleaseThread> releaseThread)
    : m_reports(std::make_shared<TerminalReports>(std::move(onTerminalConnect), std::move(onTerminalDisconnect),
                                                  std::move(onNotification)))
    , m_releaseThread(std::move(releaseThread))
    , m_factory(environment)
    , m_environment(environment)
    , m_liveness(std::make_shared<Liveness>())
{
}

ZUVATcpIpServerListener::~ZUVATcpIpServerListener()
{
    m_liveness->end();
}

void ZUVATcpIpServerListener::onConnect(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    const auto socket = weakSocket.lock();
    if (!socket)
        return;
    visit(m_liveness, [&] { accept(socket); });
}

void ZUVATcpIpServerListener::accept(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    socket->setKeepAliveEnabled(true);
    startAdviceTimer(socket);
    Terminal record;
    record.socket = socket;
    record.aftermath = std::make_shared<Aftermath>();
    record.connection = destroyedOnReleaseThread(m_factory.create(socket, notificationFor(socket)), record.aftermath);
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint64_t sequence = m_nextSequence++;
    record.sequence = sequence;
    m_sequenceBySocket.emplace(socket.get(), sequence);
    m_terminals.emplace(sequence, std::move(record));
}

// Destroying a connection joins its threads; a callback on one of them may
// hold the last reference, so the destruction always happens elsewhere.
std::shared_ptr<TerminalConnection> ZUVATcpIpServerListener::destroyedOnReleaseThread(
    std::unique_ptr<TerminalConnection> connection, const std::shared_ptr<Aftermath>& aftermath) const
{
    const std::shared_ptr<ReleaseThread> releaseThread = m_releaseThread;
    return std::shared_ptr<TerminalConnection>(
        connection.release(), [releaseThread, aftermath](TerminalConnection* ended) {
            releaseThread->post([ended, aftermath] {
                delete ended;
                aftermath->run();
            });
        });
}

// Disconnecting waits for the socket's thread, which may take a while to
// send what it still holds: no listener thread waits for it.
void ZUVATcpIpServerListener::disconnectLater(const std::shared_ptr<vorsam::TcpIpSocket>& socket) const
{
    m_releaseThread->post([socket] { socket->disconnect(); });
}

void ZUVATcpIpServerListener::startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    int timeout = m_environment->get(QStringLiteral("connectionAdviceTimeout")).toInt();
    if (timeout <= 0)
        timeout = DefaultAdviceTimeoutMs;
    std::weak_ptr<Liveness> liveness = m_liveness;
    std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    QTimer::singleShot(timeout, [this, liveness, weakSocket] {
        const auto socket = weakSocket.lock();
        if (!socket)
            return;
        visit(liveness, [&] {
            if (giveUpWithoutAdvice(socket))
                disconnectLater(socket);
        });
    });
}

std::function<void(QJsonDocument)> ZUVATcpIpServerListener::notificationFor(
    const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    std::weak_ptr<Liveness> liveness = m_liveness;
    std::weak_ptr<vorsam::TcpIpSocket> weakSocket = socket;
    return [this, liveness, weakSocket](QJsonDocument document) {
        const auto socket = weakSocket.lock();
        if (!socket)
            return;
        visit(liveness, [&] {
            for (const auto& closing : handleNotification(document, socket))
                disconnectLater(closing);
        });
    };
}

ZUVATcpIpServerListener::Terminal* ZUVATcpIpServerListener::findConnection(
    const std::shared_ptr<vorsam::TcpIpSocket>& socket)
{
    const auto found = m_sequenceBySocket.find(socket.get());
    return found == m_sequenceBySocket.end() ? nullptr : &m_terminals.at(found->second);
}

const ZUVATcpIpServerListener::Terminal* ZUVATcpIpServerListener::findIdentified(
    const QString& terminalIdentifier) const
{
    const Terminal* oldest = nullptr;
    for (const uint64_t sequence : m_sequencesByIdentifier.values(terminalIdentifier)) {
        const Terminal& record = m_terminals.at(sequence);
        if (record.reported && !record.givenUp && (!oldest || sequence < oldest->sequence))
            oldest = &record;
    }
    return oldest;
}

void ZUVATcpIpServerListener::identify(Terminal& record, const QString& terminalIdentifier)
{
    if (record.terminalIdentifier == terminalIdentifier)
        return;
    m_sequencesByIdentifier.remove(record.terminalIdentifier, record.sequence);
    record.terminalIdentifier = terminalIdentifier;
    m_sequencesByIdentifier.insert(terminalIdentifier, record.sequence);
}

bool ZUVATcpIpServerListener::takeRecord(const std::shared_ptr<vorsam::TcpIpSocket>& socket, Terminal& record)
{
    const auto found = m_sequenceBySocket.find(socket.get());
    if (found == m_sequenceBySocket.end())
        return false;
    const auto entry = m_terminals.find(found->second);
    record = std::move(entry->second);
    m_terminals.erase(entry);
    m_sequenceBySocket.erase(found);
    m_sequencesByIdentifier.remove(record.terminalIdentifier, record.sequence);
    return true;
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
    identify(*record, identifier);
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
    const std::weak_ptr<TerminalConnection> connection = record->connection;
    lock.unlock();
    m_reports->connected(document, connection);
    return Sockets();
}

bool ZUVATcpIpServerListener::supersedeOlderConnections(const QString& terminalIdentifier, const Terminal& newest,
                                                        Sockets& toDisconnect)
{
    bool found = false;
    for (const uint64_t sequence : m_sequencesByIdentifier.values(terminalIdentifier)) {
        Terminal& record = m_terminals.at(sequence);
        if (&record == &newest || record.givenUp)
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
    m_reports->event(std::move(object), identifier, connection);
}

void ZUVATcpIpServerListener::onDisconnect(std::weak_ptr<vorsam::TcpIpSocket> weakSocket)
{
    const auto socket = weakSocket.lock();
    if (!socket)
        return;
    Terminal record;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!takeRecord(socket, record))
            return;
    }
    endConnection(record, disconnectedReport(record));
}

void ZUVATcpIpServerListener::endConnection(Terminal& record, std::function<void()> aftermath)
{
    ++*m_ending;
    const std::shared_ptr<std::atomic<int>> ending = m_ending;
    record.aftermath->set([aftermath, ending] {
        if (aftermath)
            aftermath();
        --*ending;
    });
    // Ending lets the replies already read be handled first, which may take
    // as long as a host callback: no listener thread waits for it.
    m_releaseThread->post([connection = std::move(record.connection)]() mutable {
        connection->onClose();
        connection.reset();
    });
}

// Once the connection is gone, every transaction of it has had its result.
std::function<void()> ZUVATcpIpServerListener::disconnectedReport(const Terminal& record) const
{
    if (!record.reported)
        return nullptr;
    const std::shared_ptr<const TerminalReports> reports = m_reports;
    const std::weak_ptr<TerminalConnection> connection = record.connection;
    return [reports, connection, document = record.document] { reports->disconnected(document, connection); };
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
    std::vector<QJsonDocument> documents;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_terminals)
        if (entry.second.reported)
            documents.push_back(entry.second.document);
    return documents;
}

void ZUVATcpIpServerListener::closeAll()
{
    m_liveness->end();
    std::map<uint64_t, Terminal> records;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        records.swap(m_terminals);
        m_sequenceBySocket.clear();
        m_sequencesByIdentifier.clear();
    }
    std::vector<std::function<void()>> reports;
    for (auto& entry : records) {
        reports.push_back(disconnectedReport(entry.second));
        endConnection(entry.second, nullptr);
    }
    const std::shared_ptr<std::atomic<int>> ending = m_ending;
    m_releaseThread->await([ending] { return *ending == 0; });
    for (const auto& report : reports)
        if (report)
            report();
}

} // namespace oxa
