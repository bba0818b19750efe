#pragma once

#include "foundation/TcpIpServer.h"

#include <memory>

namespace vorsam {

class Thread;

// The TCP server: listens on its own thread, wraps each accepted connection
// in a TcpIpSocketImpl and tells its listeners, on that thread, of every
// connection, disconnection and arrival of data.
class TcpIpServerImpl : public TcpIpServer {
public:
    TcpIpServerImpl();
    ~TcpIpServerImpl() override;

    bool listen(unsigned short port) override;
    bool listen(QString address, unsigned short port) override;
    bool isListening() override;
    bool stopListening() override;
    void registerListener(std::shared_ptr<TcpIpServerListener> listener) override;
    void unregisterListener(std::shared_ptr<TcpIpServerListener> listener) override;

    class Impl;

private:
    std::unique_ptr<Thread> thread_;
    std::shared_ptr<Impl> impl_;
};

} // namespace vorsam
