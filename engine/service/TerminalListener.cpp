#include "engine/service/TerminalListener.h"

namespace oxa {

TerminalListener::TerminalListener(Callback onTerminalConnect, Callback onTerminalDisconnect, Callback onNotification,
                                   std::shared_ptr<ReleaseThread> releaseThread)
    : m_releaseThread(std::move(releaseThread))
    , m_records(std::make_shared<TerminalRecords>(
          TerminalReports(std::move(onTerminalConnect), std::move(onTerminalDisconnect), std::move(onNotification)),
          m_releaseThread))
{
}

TerminalListener::~TerminalListener() = default;

std::shared_ptr<TerminalConnection> TerminalListener::getTerminalConnection(const QString& terminalIdentifier) const
{
    return m_records->connectionOf(terminalIdentifier);
}

QJsonDocument TerminalListener::getConnectionDescription(const QString& terminalIdentifier) const
{
    const TerminalRecords::Transport transport = m_records->transportOf(terminalIdentifier);
    return transport ? TerminalReports::connectionDescription(describe(transport)) : QJsonDocument();
}

std::vector<QJsonDocument> TerminalListener::getTerminalDocuments() const
{
    return m_records->documents();
}

void TerminalListener::closeAll()
{
    m_records->closeAll();
}

} // namespace oxa
