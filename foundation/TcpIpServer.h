#pragma once

#include "foundation/TcpIpServerListener.h"

#include <QString>

#include <memory>

namespace vorsam {

// Accepts TCP connections on one port, on a thread of its own.
class TcpIpServer {
public:
    virtual ~TcpIpServer() = default;

    // Starts listening on any address; false when already listening or the
    // port cannot be bound.
    virtual bool listen(unsigned short port) = 0;
    // An empty address means any address.
    virtual bool listen(QString address, unsigned short port) = 0;
    virtual bool isListening() = 0;
    // Stops the server, closes its sockets and releases them; false when not
    // listening. Not to be called from a listener.
    virtual bool stopListening() = 0;
    // Registering the most recently registered listener again has no effect;
    // an earlier one registered again is told everything twice.
    virtual void registerListener(std::shared_ptr<TcpIpServerListener> listener) = 0;
    virtual void unregisterListener(std::shared_ptr<TcpIpServerListener> listener) = 0;
};

// Makes, on a thread of its own, what Qt makes for a server's first
// accepted connection; false when it cannot (without loopback, say). The
// exit destroys statics in the reverse order of their making: what is
// registered with the exit after this call runs while those are still there.
bool buildAcceptingStatics();

std::unique_ptr<TcpIpServer> makeTcpIpServer();

} // namespace vorsam
