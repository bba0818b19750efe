#pragma once

#include "foundation/TcpIpSocket.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace vorsam {

// Told of the server's connections; every call runs on the server's thread.
// The server keeps its sockets alive, a listener decides whether to hold one.
class TcpIpServerListener : public boost::noncopyable {
public:
    virtual ~TcpIpServerListener() = default;
    virtual void onConnect(std::weak_ptr<TcpIpSocket> socket);
    virtual void onDisconnect(std::weak_ptr<TcpIpSocket> socket);
    virtual void onDataPending(std::weak_ptr<TcpIpSocket> socket) = 0;
};

} // namespace vorsam
