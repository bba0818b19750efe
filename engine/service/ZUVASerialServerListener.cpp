#include "engine/service/ZUVASerialServerListener.h"

#include <QJsonObject>
#include <QMetaObject>
#include <QTimer>

#include <QtDebug>

#include <exception>

namespace oxa {

namespace {

QJsonDocument identificationRequest()
{
    return QJsonDocument(QJsonObject{
        {QStringLiteral("transaction"), QJsonObject{{QStringLiteral("action"), QStringLiteral("InformationService")},
                                                    {QStringLiteral("type"), QStringLiteral("InformationService")}}}});
}

// {"terminal": {"terminalIdentifier", and "terminalModel" when the reply has one}}.
QJsonDocument terminalDescription(const QJsonObject& result)
{
    QJsonObject terminal{{QStringLiteral("terminalIdentifier"), result.value(QStringLiteral("terminalIdentifier"))}};
    if (result.contains(QStringLiteral("terminalModel")))
        terminal.insert(QStringLiteral("terminalModel"), result.value(QStringLiteral("terminalModel")).toString());
    return QJsonDocument(QJsonObject{{QStringLiteral("terminal"), terminal}});
}

} // namespace

ZUVASerialServerListener::ZUVASerialServerListener(std::shared_ptr<OXAEnvironment> environment,
                                                   Callback onTerminalConnect, Callback onTerminalDisconnect,
                                                   Callback onNotification, kiss::LinkTimings timings,
                                                   std::chrono::milliseconds retryDelay)
    : m_reports(std::move(onTerminalConnect), std::move(onTerminalDisconnect), std::move(onNotification))
    , m_factory(std::move(environment), timings)
    , m_retryDelay(retryDelay)
{
}

ZUVASerialServerListener::~ZUVASerialServerListener()
{
    // The connections end while every member still exists: ending them
    // delivers the results of their transactions, which come back here.
    std::vector<Terminal> records;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        records.swap(m_terminals);
    }
    records.clear();
}

void ZUVASerialServerListener::onOpen(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    Terminal record;
    record.port = port;
    record.retryContext = std::make_shared<QObject>();
    record.connection = m_factory.create(
        port, notificationFor(port), [this, weakPort] { onConnected(weakPort); },
        [this, weakPort] { onDisconnected(weakPort); });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_terminals.push_back(std::move(record));
}

std::function<void(QJsonDocument)> ZUVASerialServerListener::notificationFor(const PortPointer& port)
{
    const std::weak_ptr<vorsam::SerialPort> weakPort = port;
    return [this, weakPort](QJsonDocument document) {
        if (const auto port = weakPort.lock())
            handleNotification(std::move(document), port);
    };
}

void ZUVASerialServerListener::onConnected(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    std::shared_ptr<TerminalConnection> connection;
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Terminal* record = findConnection(port);
        if (!record)
            return;
        record->linkUp = true;
        generation = ++record->linkGeneration;
        connection = record->connection;
    }
    identify(port, connection, generation);
}

void ZUVASerialServerListener::identify(const PortPointer& port, const std::shared_ptr<TerminalConnection>& connection,
                                        unsigned generation)
{
    const std::weak_ptr<vorsam::SerialPort> weakPort = port;
    auto onResult = [this, weakPort, generation](QJsonDocument document) {
        if (const auto port = weakPort.lock())
            handleIdentification(document, port, generation);
    };
    try {
        connection->makeTransaction(identificationRequest(), onResult, {});
    } catch (const std::exception& e) {
        qWarning("Identification request refused: %s", e.what());
        scheduleIdentificationRetry(port, generation);
    }
}

void ZUVASerialServerListener::handleIdentification(const QJsonDocument& document, const PortPointer& port,
                                                    unsigned generation)
{
    const QJsonObject result = document.object().value(QStringLiteral("result")).toObject();
    if (result.value(QStringLiteral("terminalIdentifier")).toString().isEmpty()) {
        // An error (time-out, rejection, lost link) or a reply naming no terminal.
        scheduleIdentificationRetry(port, generation);
        return;
    }
    recordIdentity(result, port, generation);
}

void ZUVASerialServerListener::recordIdentity(const QJsonObject& result, const PortPointer& port,
                                              unsigned generation)
{
    const QJsonDocument description = terminalDescription(result);
    std::weak_ptr<TerminalConnection> connection;
    std::lock_guard<std::mutex> reporting(m_reportMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Terminal* record = findConnection(port);
        // The link went down since the request: the next link-up asks again.
        if (!record || !record->linkUp || record->linkGeneration != generation || record->reported)
            return;
        record->terminalIdentifier = result.value(QStringLiteral("terminalIdentifier")).toString();
        record->document = description;
        record->reported = true;
        connection = record->connection;
    }
    m_reports.connected(description, connection);
}

void ZUVASerialServerListener::scheduleIdentificationRetry(const PortPointer& port, unsigned generation)
{
    std::shared_ptr<QObject> context;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findConnection(port);
        if (!record || !record->linkUp || record->linkGeneration != generation)
            return;
        context = record->retryContext;
    }
    // The wait runs on the server's thread, so that it ends with the server;
    // a context gone meanwhile (port closed) drops it.
    const std::weak_ptr<vorsam::SerialPort> weakPort = port;
    QObject* const target = context.get();
    const auto delay = m_retryDelay;
    QMetaObject::invokeMethod(
        target,
        [this, target, weakPort, generation, delay] {
            QTimer::singleShot(delay, target, [this, weakPort, generation] {
                retryIdentification(weakPort, generation);
            });
        },
        Qt::QueuedConnection);
}

void ZUVASerialServerListener::retryIdentification(const std::weak_ptr<vorsam::SerialPort>& weakPort,
                                                   unsigned generation)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    const auto connection = connectionWhere(port, [generation](const Terminal& record) {
        return record.linkUp && record.linkGeneration == generation && !record.reported;
    });
    if (connection)
        identify(port, connection, generation);
}

void ZUVASerialServerListener::handleNotification(QJsonDocument document, const PortPointer& port)
{
    QJsonObject object = document.object();
    // A connection advice identifies nothing on a serial line: only events count.
    if (!object.contains(QStringLiteral("event")))
        return;
    std::weak_ptr<TerminalConnection> connection;
    QString identifier;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findConnection(port);
        if (!record)
            return;
        identifier = record->terminalIdentifier;
        connection = record->connection;
    }
    m_reports.event(std::move(object), identifier, connection);
}

void ZUVASerialServerListener::onDataPending(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    if (const auto connection = connectionWhere(port, [](const Terminal&) { return true; }))
        connection->onDataReady();
}

void ZUVASerialServerListener::onDisconnected(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    // A closing port makes its own report.
    if (!port || !port->isOpen())
        return;
    std::shared_ptr<TerminalConnection> connection;
    QJsonDocument document;
    bool wasReported = false;
    std::lock_guard<std::mutex> reporting(m_reportMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Terminal* record = findConnection(port);
        if (!record)
            return;
        record->linkUp = false;
        wasReported = record->reported;
        record->reported = false;
        document = record->document;
        connection = record->connection;
    }
    connection->resetTransactions();
    if (wasReported)
        m_reports.disconnected(document, connection);
}

void ZUVASerialServerListener::onClose(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    Terminal record;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Terminal* found = findConnection(port);
        if (!found)
            return;
        record = std::move(*found);
        m_terminals.erase(m_terminals.begin() + (found - m_terminals.data()));
    }
    reportClosed(std::move(record));
}

void ZUVASerialServerListener::reportClosed(Terminal&& record)
{
    std::shared_ptr<TerminalConnection> closing = std::move(record.connection);
    const std::weak_ptr<TerminalConnection> connection = closing;
    record.retryContext.reset();
    // Ending the connection here gives every transaction still in flight
    // its result before the host hears of the disconnection.
    closing->onClose();
    closing.reset();
    std::lock_guard<std::mutex> reporting(m_reportMutex);
    if (record.reported)
        m_reports.disconnected(record.document, connection);
}

void ZUVASerialServerListener::closeAll()
{
    std::vector<Terminal> records;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        records.swap(m_terminals);
    }
    for (auto& record : records)
        reportClosed(std::move(record));
}

ZUVASerialServerListener::Terminal* ZUVASerialServerListener::findConnection(const PortPointer& port)
{
    for (auto& record : m_terminals)
        if (record.port == port)
            return &record;
    return nullptr;
}

const ZUVASerialServerListener::Terminal* ZUVASerialServerListener::findConnection(const PortPointer& port) const
{
    for (const auto& record : m_terminals)
        if (record.port == port)
            return &record;
    return nullptr;
}

std::shared_ptr<TerminalConnection> ZUVASerialServerListener::connectionWhere(
    const PortPointer& port, const std::function<bool(const Terminal&)>& accept) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Terminal* record = findConnection(port);
    return record && accept(*record) ? record->connection : nullptr;
}

const ZUVASerialServerListener::Terminal* ZUVASerialServerListener::findIdentified(
    const QString& terminalIdentifier) const
{
    if (terminalIdentifier.isEmpty())
        return nullptr;
    for (const auto& record : m_terminals)
        if (record.terminalIdentifier == terminalIdentifier)
            return &record;
    return nullptr;
}

std::shared_ptr<TerminalConnection> ZUVASerialServerListener::getTerminalConnection(
    const QString& terminalIdentifier) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Terminal* record = findIdentified(terminalIdentifier);
    return record ? record->connection : nullptr;
}

QJsonDocument ZUVASerialServerListener::getConnectionDescription(const QString& terminalIdentifier) const
{
    std::shared_ptr<vorsam::SerialPort> port;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Terminal* record = findIdentified(terminalIdentifier);
        if (!record)
            return QJsonDocument();
        port = record->port;
    }
    return TerminalReports::connectionDescription(
        QJsonObject{{QStringLiteral("port"), port->getPort()},
                    {QStringLiteral("baud"), vorsam::getBaudRateAsNumericValue(port->getBaudRate())}});
}

std::vector<QJsonDocument> ZUVASerialServerListener::getTerminalDocuments() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TerminalReports::reportedDocuments(m_terminals);
}

} // namespace oxa
