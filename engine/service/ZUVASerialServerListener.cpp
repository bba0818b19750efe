#include "engine/service/ZUVASerialServerListener.h"

#include <QJsonObject>

#include <QtDebug>

#include <exception>

namespace oxa {

namespace {

QJsonDocument identificationRequest()
{
    return QJsonDocument(QJsonObject{{QStringLiteral("transaction"),
                                      QJsonObject{{QStringLiteral("action"), QStringLiteral("InformationService")},
                                                  {QStringLiteral("type"), QStringLiteral("InformationService")}}}});
}

// {"terminal": {"terminalIdentifier", and "terminalModel" when the reply has
// one}}.
QJsonDocument terminalDescription(const QJsonObject& result)
{
    QJsonObject terminal{{QStringLiteral("terminalIdentifier"), result.value(QStringLiteral("terminalIdentifier"))}};
    if (result.contains(QStringLiteral("terminalModel")))
        terminal.insert(QStringLiteral("terminalModel"), result.value(QStringLiteral("terminalModel")).toString());
    return QJsonDocument(QJsonObject{{QStringLiteral("terminal"), terminal}});
}

// Whether an identification asked while the link was up for this generation
// still counts.
bool awaitsIdentification(const TerminalRecords::Record& record, unsigned generation)
{
    return record.linkUp && record.linkGeneration == generation && !record.reported;
}

} // namespace

ZUVASerialServerListener::ZUVASerialServerListener(std::shared_ptr<OXAEnvironment> environment,
                                                   Callback onTerminalConnect, Callback onTerminalDisconnect,
                                                   Callback onNotification, kiss::LinkTimings timings,
                                                   std::chrono::milliseconds retryDelay,
                                                   std::shared_ptr<ReleaseThread> releaseThread)
    : TerminalListener(std::move(onTerminalConnect), std::move(onTerminalDisconnect), std::move(onNotification),
                       releaseThread)
    , m_factory(std::move(environment), timings, std::move(releaseThread))
    , m_retryDelay(retryDelay)
{
}

ZUVASerialServerListener::~ZUVASerialServerListener()
{
    // Here, not in the base: a visit under way still uses this class's members.
    records().endVisits();
}

void ZUVASerialServerListener::onOpen(std::weak_ptr<vorsam::SerialPort> weakPort)
{
    const auto port = weakPort.lock();
    if (!port)
        return;
    auto notification = visiting(port, [this](const QJsonDocument& document, const PortPointer& held) {
        handleNotification(document, held);
    });
    auto connected = visiting(port, [this](const PortPointer& held) { onConnected(held); });
    auto disconnected = visiting(port, [this](const PortPointer& held) { onDisconnected(held); });
    records().add(port, m_factory.create(port, notification, connected, disconnected));
}

void ZUVASerialServerListener::onConnected(const PortPointer& port)
{
    std::shared_ptr<TerminalConnection> connection;
    unsigned generation = 0;
    const bool found = records().update(port.get(), [&](TerminalRecords::Record& record) {
        record.linkUp = true;
        generation = ++record.linkGeneration;
        connection = record.connection;
        return true;
    });
    if (found)
        identify(port, connection, generation);
}

void ZUVASerialServerListener::identify(const PortPointer& port, const std::shared_ptr<TerminalConnection>& connection,
                                        unsigned generation)
{
    auto onResult = visiting(port, [this, generation](const QJsonDocument& document, const PortPointer& held) {
        handleIdentification(document, held, generation);
    });
    try {
        connection->makeTransaction(identificationRequest(), std::move(onResult), {});
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
    // Only while the link that asked is up: a later link-up asks again.
    records().identify(port.get(), terminalDescription(result), [generation](const TerminalRecords::Record& record) {
        return awaitsIdentification(record, generation);
    });
}

void ZUVASerialServerListener::scheduleIdentificationRetry(const PortPointer& port, unsigned generation)
{
    // The wait runs on the server's thread, so that it ends with the server.
    const std::weak_ptr<vorsam::SerialPort> weakPort = port;
    records().after(
        port.get(), m_retryDelay,
        [this, weakPort, generation] {
            if (const auto port = weakPort.lock())
                retryIdentification(port, generation);
        },
        [generation](TerminalRecords::Record& record) { return awaitsIdentification(record, generation); });
}

void ZUVASerialServerListener::retryIdentification(const PortPointer& port, unsigned generation)
{
    const auto connection = records().connectionOf(
        port.get(), [generation](TerminalRecords::Record& record) { return awaitsIdentification(record, generation); });
    if (connection)
        identify(port, connection, generation);
}

void ZUVASerialServerListener::handleNotification(const QJsonDocument& document, const PortPointer& port)
{
    // A connection advice identifies nothing on a serial line: only events count.
    const QJsonObject object = document.object();
    if (object.contains(QStringLiteral("event")))
        records().event(port.get(), object);
}

void ZUVASerialServerListener::onDataPending(std::weak_ptr<vorsam::SerialPort> port)
{
    dataPending(port);
}

void ZUVASerialServerListener::onDisconnected(const PortPointer& port)
{
    // A closing port makes its own report.
    if (!port->isOpen())
        return;
    records().loseLink(port.get());
}

void ZUVASerialServerListener::onClose(std::weak_ptr<vorsam::SerialPort> port)
{
    transportClosed(port);
}

QJsonObject ZUVASerialServerListener::describe(const TerminalRecords::Transport& transport) const
{
    const auto port = std::static_pointer_cast<vorsam::SerialPort>(transport);
    return QJsonObject{{QStringLiteral("port"), port->getPort()},
                       {QStringLiteral("baud"), vorsam::getBaudRateAsNumericValue(port->getBaudRate())}};
}

} // namespace oxa
