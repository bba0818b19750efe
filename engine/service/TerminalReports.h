#pragma once

#include "engine/service/TerminalConnection.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

namespace oxa {

// What a terminal listener tells the host, the same for every transport: a
// terminal identified, a terminal gone, and the terminal's events.
class TerminalReports {
public:
    using Callback = std::function<void(QJsonDocument, std::weak_ptr<TerminalConnection>)>;

    // Throws std::invalid_argument "no on terminal connect callback" or
    // "no on terminal disconnect callback"; the notification callback may be empty.
    TerminalReports(Callback onTerminalConnect, Callback onTerminalDisconnect, Callback onNotification);

    void connected(const QJsonDocument& description, const std::weak_ptr<TerminalConnection>& connection) const;
    void disconnected(const QJsonDocument& description, const std::weak_ptr<TerminalConnection>& connection) const;
    // Passes {"event": {...}} on with the terminal's identifier added to the event.
    void event(QJsonObject notification, const QString& terminalIdentifier,
               const std::weak_ptr<TerminalConnection>& connection) const;

    // {"terminalConnection": description}.
    static QJsonDocument connectionDescription(const QJsonObject& description);

private:
    Callback m_onTerminalConnect;
    Callback m_onTerminalDisconnect;
    Callback m_onNotification;
};

} // namespace oxa
