#include "engine/service/TerminalReports.h"

#include <stdexcept>

namespace oxa {

TerminalReports::TerminalReports(Callback onTerminalConnect, Callback onTerminalDisconnect, Callback onNotification)
    : m_onTerminalConnect(std::move(onTerminalConnect))
    , m_onTerminalDisconnect(std::move(onTerminalDisconnect))
    , m_onNotification(std::move(onNotification))
{
    if (!m_onTerminalConnect)
        throw std::invalid_argument("no on terminal connect callback");
    if (!m_onTerminalDisconnect)
        throw std::invalid_argument("no on terminal disconnect callback");
}

void TerminalReports::connected(const QJsonDocument& description,
                                const std::weak_ptr<TerminalConnection>& connection) const
{
    m_onTerminalConnect(description, connection);
}

void TerminalReports::disconnected(const QJsonDocument& description,
                                   const std::weak_ptr<TerminalConnection>& connection) const
{
    m_onTerminalDisconnect(description, connection);
}

void TerminalReports::event(QJsonObject notification, const QString& terminalIdentifier,
                            const std::weak_ptr<TerminalConnection>& connection) const
{
    QJsonObject event = notification.value(QStringLiteral("event")).toObject();
    event.insert(QStringLiteral("terminalIdentifier"), terminalIdentifier);
    notification.insert(QStringLiteral("event"), event);
    if (m_onNotification)
        m_onNotification(QJsonDocument(notification), connection);
}

QJsonDocument TerminalReports::connectionDescription(const QJsonObject& description)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("terminalConnection"), description}});
}

} // namespace oxa
