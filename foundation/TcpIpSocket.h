#pragma once

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QString>

#include <boost/noncopyable.hpp>

#include <memory>

namespace vorsam {

// One TCP connection with a thread of its own and its two byte streams.
class TcpIpSocket : private boost::noncopyable {
public:
    virtual ~TcpIpSocket() = default;

    // Starts the socket's thread, which makes the connection; false while a
    // thread is held. The connection is reported by the socket's connected signal.
    virtual bool connect(QString address, unsigned short port) = 0;
    // Ends the socket's thread and waits for it; false when there was none.
    // Not to be called on the socket's own thread.
    virtual bool disconnect() = 0;
    virtual bool isConnected() const = 0;
    virtual unsigned short getPort() const = 0;
    virtual QString getAddress() const = 0;
    // TCP keep-alive (4 probes, 2 s apart) together with TCP_NODELAY.
    virtual bool setKeepAliveEnabled(bool enabled) = 0;
    virtual bool isKeepAliveEnabled() const = 0;
    virtual std::shared_ptr<InputStream> getInputStream() const = 0;
    virtual std::shared_ptr<OutputStream> getOutputStream() const = 0;
};

// A connecting (client) socket.
std::shared_ptr<TcpIpSocket> makeTcpIpSocket();

} // namespace vorsam
