#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalConnection.h"
#include "engine/service/TerminalReports.h"
#include "engine/service/ZUVATcpIpConnectionFactory.h"
#include "foundation/TcpIpServerListener.h"

#include <QJsonDocument>
#include <QMultiHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace oxa {

// Turns the accepted sockets of one TCP server into terminal connections, waits
// for each terminal's connection advice and reports identified terminals, their
// disconnection and their events.
//
// The host hears of a disconnection only for a terminal it was told is
// connected, and always after that connected report; transactions in flight on
// a closing socket get their result before the disconnection is reported.
// A connection is destroyed on the release thread, whichever thread lets go
// of it last; the disconnected report follows its destruction there, so it
// comes after the connected report, made on the connection's own thread.
class ZUVATcpIpServerListener : public vorsam::TcpIpServerListener {
public:
    using Callback = TerminalReports::Callback;

    // Throws std::invalid_argument "no on terminal connect callback" or
    // "no on terminal disconnect callback"; the notification callback may be empty.
    ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment, Callback onTerminalConnect,
                            Callback onTerminalDisconnect, Callback onNotification,
                            std::shared_ptr<ReleaseThread> releaseThread = std::make_shared<ReleaseThread>());
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
    // and every terminal reported connected is reported disconnected, on the
    // calling thread, once every connection has been destroyed.
    void closeAll();

    // Runs on the release thread right after the connection's destruction.
    class Aftermath;
    // Guards against reports reaching a listener that closeAll has ended:
    // the end waits for the visits under way, and no visit starts after it.
    // No lock is held while a visit calls the host.
    class Liveness;

    struct Terminal : TerminalReports::Record {
        // Order of acceptance.
        uint64_t sequence = 0;
        std::shared_ptr<vorsam::TcpIpSocket> socket;
        // No advice in time, or a duplicate identifier: never reported.
        bool givenUp = false;
        // Disconnected because a newer socket announced the same identifier.
        bool superseded = false;
        std::shared_ptr<Aftermath> aftermath;
    };

private:

    std::function<void(QJsonDocument)> notificationFor(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void accept(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    std::shared_ptr<TerminalConnection> destroyedOnReleaseThread(std::unique_ptr<TerminalConnection> connection,
                                                                 const std::shared_ptr<Aftermath>& aftermath) const;
    void disconnectLater(const std::shared_ptr<vorsam::TcpIpSocket>& socket) const;
    Terminal* findConnection(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    const Terminal* findIdentified(const QString& terminalIdentifier) const;
    // Takes the record of the socket out of the table; false when there is none.
    bool takeRecord(const std::shared_ptr<vorsam::TcpIpSocket>& socket, Terminal& record);
    void identify(Terminal& record, const QString& terminalIdentifier);
    // The sockets returned are to be disconnected by the caller, outside every lock.
    using Sockets = std::vector<std::shared_ptr<vorsam::TcpIpSocket>>;
    // True when the socket has announced nothing in time and is to be disconnected.
    bool giveUpWithoutAdvice(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    Sockets handleNotification(QJsonDocument document, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    Sockets handleConnectionAdvice(const QJsonDocument& document, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void handleEvent(QJsonObject object, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    // Marks the older connections with the identifier; true when there is any.
    bool supersedeOlderConnections(const QString& terminalIdentifier, const Terminal& newest, Sockets& toDisconnect);
    // Fails the transactions in flight and lets go of the connection; the
    // aftermath runs once the last holder has let go of it too.
    void endConnection(Terminal& record, std::function<void()> aftermath);
    std::function<void()> disconnectedReport(const Terminal& record) const;

    std::shared_ptr<const TerminalReports> m_reports;
    std::shared_ptr<ReleaseThread> m_releaseThread;
    // By order of acceptance, with indexes by socket and by identifier.
    std::map<uint64_t, Terminal> m_terminals;
    std::unordered_map<const vorsam::TcpIpSocket*, uint64_t> m_sequenceBySocket;
    QMultiHash<QString, uint64_t> m_sequencesByIdentifier;
    uint64_t m_nextSequence = 0;
    // Connections ended and not yet destroyed.
    std::shared_ptr<std::atomic<int>> m_ending = std::make_shared<std::atomic<int>>(0);
    ZUVATcpIpConnectionFactory m_factory;
    mutable std::mutex m_mutex;
    std::shared_ptr<OXAEnvironment> m_environment;
    std::shared_ptr<Liveness> m_liveness;
};

} // namespace oxa
