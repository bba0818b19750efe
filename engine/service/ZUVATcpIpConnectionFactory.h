#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/TerminalConnection.h"
#include "foundation/TcpIpSocket.h"

#include <QJsonDocument>

#include <functional>
#include <memory>

namespace oxa {

// Builds the terminal connection of one accepted TCP socket.
class ZUVATcpIpConnectionFactory {
public:
    explicit ZUVATcpIpConnectionFactory(std::shared_ptr<OXAEnvironment> environment);

    std::unique_ptr<TerminalConnection> create(std::shared_ptr<vorsam::TcpIpSocket> socket,
                                               std::function<void(QJsonDocument)> notification) const;

private:
    std::shared_ptr<OXAEnvironment> m_environment;
};

} // namespace oxa
