#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/TerminalConnection.h"
#include "engine/service/TerminalReports.h"
#include "engine/service/ZUVATcpIpConnectionFactory.h"
#include "foundation/TcpIpServerListener.h"

#include <QJsonDocument>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace oxa {

// Turns the accepted sockets of one TCP server into terminal connections, waits
// for each terminal's connection advice and reports identified terminals, their
// disconnection and their events.
//
// The host hears of a disconnection only for a terminal it was told is
// connected, and always after that connected report; transactions in flight on
// a closing socket get their result before the disconnection is reported.
class ZUVATcpIpServerListener : public vorsam::TcpIpServerListener {
public:
    using Callback = TerminalReports::Callback;

    // Throws std::invalid_argument "no on terminal connect callback" or
    // "no on terminal disconnect callback"; the notification callback may be empty.
    ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment, Callback onTerminalConnect,
                            Callback onTerminalDisconnect, Callback onNotification);
    ~ZUVATcpIpServerListener() override;

    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override;
    void onDisconnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override;
    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket) override;

    // The connection of the oldest identified terminal with this identifier;
    // empty for an unknown or empty identifier.
    std::shared_ptr<TerminalConnection> getTerminalConnection(const QString& terminalIdentifier) const;
    // {"terminalConnection": {"ip": ..., "port": ...}}, or an empty document.
    QJsonDocument getConnectionDescription(const QString& terminalIdentifier) const;
    // The descriptions of the terminals reported connected, in accepting order.
    std::vector<QJsonDocument> getTerminalDocuments() const;

    // Ends the service: no further reports, every transaction in flight fails
    // and every terminal reported connected is reported disconnected.
    void closeAll();

    struct Terminal : TerminalReports::Record {
        std::shared_ptr<vorsam::TcpIpSocket> socket;
        // No advice in time, or a duplicate identifier: never reported.
        bool givenUp = false;
        // Disconnected because a newer socket announced the same identifier.
        bool superseded = false;
        // Held while the connected report runs, so that the disconnected
        // report of the same terminal cannot overtake it.
        std::shared_ptr<std::mutex> reportMutex = std::make_shared<std::mutex>();
    };

private:
    // Guards against reports reaching a listener that closeAll has ended.
    struct Liveness {
        std::mutex mutex;
        bool alive = true;
    };

    std::function<void(QJsonDocument)> notificationFor(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    Terminal* findConnection(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    const Terminal* findIdentified(const QString& terminalIdentifier) const;
    // The sockets returned are to be disconnected by the caller, outside every lock.
    using Sockets = std::vector<std::shared_ptr<vorsam::TcpIpSocket>>;
    // True when the socket has announced nothing in time and is to be disconnected.
    bool giveUpWithoutAdvice(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    Sockets handleNotification(QJsonDocument document, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    Sockets handleConnectionAdvice(const QJsonDocument& document, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void handleEvent(QJsonObject object, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    // Marks the older connections with the identifier; true when there is any.
    bool supersedeOlderConnections(const QString& terminalIdentifier, const Terminal& newest, Sockets& toDisconnect);
    void reportClosed(Terminal&& record);

    TerminalReports m_reports;
    std::vector<Terminal> m_terminals;
    ZUVATcpIpConnectionFactory m_factory;
    mutable std::mutex m_mutex;
    std::shared_ptr<OXAEnvironment> m_environment;
    std::shared_ptr<Liveness> m_liveness = std::make_shared<Liveness>();
};

} // namespace oxa
