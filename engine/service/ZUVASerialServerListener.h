#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/TerminalConnection.h"
#include "engine/service/TerminalReports.h"
#include "engine/service/ZUVASerialConnectionFactory.h"
#include "foundation/SerialServerListener.h"
#include "link/LinkTimings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace oxa {

// Turns the opened port of one serial server into a terminal connection,
// identifies the terminal with an "InformationService" request whenever the
// serial link comes up, and reports identified terminals, their
// disconnection and their events.
//
// The host is told of a disconnection once, and only for a terminal it was
// told is connected: a lost link and the later closing of the port make one
// report. A failed identification is asked again while the link stays up.
class ZUVASerialServerListener : public vorsam::SerialServerListener {
public:
    using Callback = TerminalReports::Callback;

    static constexpr std::chrono::milliseconds kIdentificationRetryDelay{2000};

    // Throws std::invalid_argument "no on terminal connect callback" or
    // "no on terminal disconnect callback"; the notification callback may be empty.
    // timings and retryDelay: tests shorten them.
    ZUVASerialServerListener(std::shared_ptr<OXAEnvironment> environment, Callback onTerminalConnect,
                             Callback onTerminalDisconnect, Callback onNotification,
                             kiss::LinkTimings timings = kiss::LinkTimings(),
                             std::chrono::milliseconds retryDelay = kIdentificationRetryDelay);
    ~ZUVASerialServerListener() override;

    void onOpen(std::weak_ptr<vorsam::SerialPort> port) override;
    void onClose(std::weak_ptr<vorsam::SerialPort> port) override;
    void onDataPending(std::weak_ptr<vorsam::SerialPort> port) override;
    // The serial link came up or went down (on the server's thread).
    void onConnected(std::weak_ptr<vorsam::SerialPort> port);
    void onDisconnected(std::weak_ptr<vorsam::SerialPort> port);

    // The connection of the first terminal identified with this identifier,
    // also while its link is down; empty for an unknown or empty identifier.
    std::shared_ptr<TerminalConnection> getTerminalConnection(const QString& terminalIdentifier) const;
    // {"terminalConnection": {"port": ..., "baud": ...}}, or an empty document.
    QJsonDocument getConnectionDescription(const QString& terminalIdentifier) const;
    // The descriptions of the terminals reported connected, in opening order.
    std::vector<QJsonDocument> getTerminalDocuments() const;

    // Ends the service once its server has stopped: every transaction in
    // flight fails and every terminal reported connected is reported disconnected.
    void closeAll();

    struct Terminal : TerminalReports::Record {
        std::shared_ptr<vorsam::SerialPort> port;
        bool linkUp = false;
        // Counts the link's comings up: a reply to an earlier identification identifies nothing.
        unsigned linkGeneration = 0;
        // Lives on the server's thread, where identification retries wait.
        std::shared_ptr<QObject> retryContext;
    };

private:
    using PortPointer = std::shared_ptr<vorsam::SerialPort>;

    Terminal* findConnection(const PortPointer& port);
    const Terminal* findConnection(const PortPointer& port) const;
    const Terminal* findIdentified(const QString& terminalIdentifier) const;
    // The connection of the port's terminal when accept takes its record; else none.
    std::shared_ptr<TerminalConnection> connectionWhere(const PortPointer& port,
                                                        const std::function<bool(const Terminal&)>& accept) const;
    std::function<void(QJsonDocument)> notificationFor(const PortPointer& port);
    void identify(const PortPointer& port, const std::shared_ptr<TerminalConnection>& connection,
                  unsigned generation);
    void handleIdentification(const QJsonDocument& document, const PortPointer& port, unsigned generation);
    void recordIdentity(const QJsonObject& result, const PortPointer& port, unsigned generation);
    void scheduleIdentificationRetry(const PortPointer& port, unsigned generation);
    void retryIdentification(const std::weak_ptr<vorsam::SerialPort>& weakPort, unsigned generation);
    void handleNotification(QJsonDocument document, const PortPointer& port);
    void reportClosed(Terminal&& record);

    TerminalReports m_reports;
    std::vector<Terminal> m_terminals;
    ZUVASerialConnectionFactory m_factory;
    mutable std::mutex m_mutex;
    // One report to the host at a time, so that a disconnection never
    // overtakes the connected report of the same terminal.
    std::mutex m_reportMutex;
    std::chrono::milliseconds m_retryDelay;
};

} // namespace oxa
