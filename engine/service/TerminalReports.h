#pragma once

#include "engine/service/TerminalConnection.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace oxa {

// What a terminal listener tells the host, the same for every transport: a
// terminal identified, a terminal gone, and the terminal's events.
class TerminalReports {
public:
    using Callback = std::function<void(QJsonDocument, std::weak_ptr<TerminalConnection>)>;

    // What a listener keeps of every terminal, whatever its transport.
    struct Record {
        QString terminalIdentifier;
        std::shared_ptr<TerminalConnection> connection;
        // The description the host was given ({"terminal": {...}}).
        QJsonDocument document;
        // Told connected and not yet told disconnected.
        bool reported = false;
    };

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

    // The descriptions of the records reported connected, in their order.
    template <typename Terminal>
    static std::vector<QJsonDocument> reportedDocuments(const std::vector<Terminal>& terminals)
    {
        std::vector<QJsonDocument> documents;
        for (const Record& record : terminals)
            if (record.reported)
                documents.push_back(record.document);
        return documents;
    }

private:
    Callback m_onTerminalConnect;
    Callback m_onTerminalDisconnect;
    Callback m_onNotification;
};

} // namespace oxa
