#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalListener.h"
#include "engine/service/ZUVATcpIpConnectionFactory.h"
#include "foundation/TcpIpServerListener.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <memory>

namespace oxa {

// Turns the accepted sockets of one TCP server into terminal connections,
// waits for each terminal's connection advice and reports identified
// terminals, their disconnection and their events. A terminal's connected
// report is made on its connection's own thread.
class ZUVATcpIpServerListener : public vorsam::TcpIpServerListener, public TerminalListener {
public:
    ZUVATcpIpServerListener(std::shared_ptr<OXAEnvironment> environment, Callback onTerminalConnect,
                            Callback onTerminalDisconnect, Callback onNotification,
                            std::shared_ptr<ReleaseThread> releaseThread = std::make_shared<ReleaseThread>());
    ~ZUVATcpIpServerListener() override;

    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override;
    void onDisconnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override;
    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket) override;

private:
    // {"ip": ..., "port": ...}.
    QJsonObject describe(const TerminalRecords::Transport& transport) const override;
    std::function<void(QJsonDocument)> notificationFor(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void accept(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void startAdviceTimer(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void giveUpWithoutAdvice(const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void handleNotification(const QJsonDocument& document, const std::shared_ptr<vorsam::TcpIpSocket>& socket);
    void disconnectLater(const TerminalRecords::Transport& socket);

    ZUVATcpIpConnectionFactory m_factory;
    std::shared_ptr<OXAEnvironment> m_environment;
};

} // namespace oxa
