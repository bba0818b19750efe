#pragma once

#include "engine/service/TerminalRecords.h"
#include "engine/service/TerminalReports.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <vector>

namespace oxa {

// What the services registry asks of the listener of a running service,
// whatever its transport. The terminals are kept in the listener's records.
class TerminalListener {
public:
    using Callback = TerminalReports::Callback;

    virtual ~TerminalListener();

    // The connection of the oldest terminal identified with this identifier;
    // empty for an unknown or empty identifier.
    std::shared_ptr<TerminalConnection> getTerminalConnection(const QString& terminalIdentifier) const;
    // {"terminalConnection": the transport's description}, or an empty document.
    QJsonDocument getConnectionDescription(const QString& terminalIdentifier) const;
    // The descriptions of the terminals reported connected, in order of arrival.
    std::vector<QJsonDocument> getTerminalDocuments() const;

    // Ends the service once its server has stopped: every transaction in
    // flight fails and every terminal reported connected is reported
    // disconnected, on the calling thread, once every connection has been
    // destroyed.
    void closeAll();

protected:
    // Throws std::invalid_argument "no on terminal connect callback" or
    // "no on terminal disconnect callback"; the notification callback may be
    // empty.
    TerminalListener(Callback onTerminalConnect, Callback onTerminalDisconnect, Callback onNotification,
                     std::shared_ptr<ReleaseThread> releaseThread);

    // What the host is told of a terminal's transport.
    virtual QJsonObject describe(const TerminalRecords::Transport& transport) const = 0;

    TerminalRecords& records() const { return *m_records; }
    // For the listener's callbacks, which visit the records
    // (TerminalRecords::Visit).
    std::weak_ptr<TerminalRecords> weakRecords() const { return m_records; }
    ReleaseThread& releaseThread() const { return *m_releaseThread; }

    // The transport's server has data for the terminal's connection.
    template <typename Held>
    void dataPending(const std::weak_ptr<Held>& transport)
    {
        const std::shared_ptr<Held> held = transport.lock();
        if (!held)
            return;
        if (const auto connection = m_records->connectionOf(held.get()))
            connection->onDataReady();
    }
    // The transport's server has let go of it.
    template <typename Held>
    void transportClosed(const std::weak_ptr<Held>& transport)
    {
        if (const std::shared_ptr<Held> held = transport.lock())
            m_records->close(held.get());
    }

private:
    std::shared_ptr<ReleaseThread> m_releaseThread;
    std::shared_ptr<TerminalRecords> m_records;
};

} // namespace oxa
