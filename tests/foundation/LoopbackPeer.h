#pragma once

#include "tests/support/Wait.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace foundationtest {

// The far end of a TCP connection, played with plain sockets so that the
// test thread needs no event loop.
class LoopbackPeer {
public:
    ~LoopbackPeer() { close(); }

    bool connectTo(std::uint16_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    // Takes the one connection a listening peer expects.
    bool acceptFrom(int listener)
    {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(testsupport::scaled(std::chrono::milliseconds(5000)).count())) != 1)
            return false;
        fd_ = ::accept(listener, nullptr, nullptr);
        return fd_ >= 0;
    }

    bool send(const QByteArray& bytes)
    {
        return ::send(fd_, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }

    // Collects bytes until it has the expected count or the deadline passes.
    QByteArray receive(int expected)
    {
        QByteArray received;
        testsupport::waitUntil([&] {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), MSG_DONTWAIT);
            if (n > 0)
                received.append(chunk, static_cast<int>(n));
            return received.size() >= expected;
        });
        return received;
    }

    // True once the other side has closed the connection.
    bool sawClose()
    {
        return testsupport::waitUntil([&] {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), MSG_DONTWAIT);
            return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        });
    }

    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// A listening socket on an OS-chosen loopback port.
class LoopbackListener {
public:
    LoopbackListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(fd_, 8);
        socklen_t length = sizeof(address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackListener() { ::close(fd_); }

    std::uint16_t port() const { return port_; }
    int descriptor() const { return fd_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A loopback port that nothing listens on right now.
inline std::uint16_t freePort()
{
    return LoopbackListener().port();
}

} // namespace foundationtest
