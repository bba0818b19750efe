#include "PlainHostServer.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

using testsupport::Bytes;
using testsupport::SimMessage;

PlainHostServer::PlainHostServer(Bytes request)
    : m_request(std::move(request))
    , m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || m_epoll < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::listen(m_listener, 1024) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("plain server: cannot listen");
    m_port = ntohs(address.sin_port);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_listener;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listener, &event);
    m_loop = std::thread([this] { run(); });
}

PlainHostServer::~PlainHostServer()
{
    m_stopping = true;
    m_loop.join();
    for (const auto& entry : m_connections)
        ::close(entry.first);
    ::close(m_listener);
    ::close(m_epoll);
}

void PlainHostServer::run()
{
    epoll_event events[256];
    while (!m_stopping) {
        const int ready = ::epoll_wait(m_epoll, events, 256, 50);
        for (int i = 0; i < ready; ++i) {
            const int socket = events[i].data.fd;
            if (socket == m_listener)
                accept();
            else
                read(socket, m_connections[socket]);
        }
    }
}

// The listening socket blocks: one connection per readiness report.
void PlainHostServer::accept()
{
    const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0)
        return;
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_connections[socket] = Connection();
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = socket;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event);
}

void PlainHostServer::read(int socket, Connection& connection)
{
    uint8_t buffer[4096];
    const ssize_t received = ::recv(socket, buffer, sizeof buffer, 0);
    if (received <= 0) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
        return;
    }
    connection.input.insert(connection.input.end(), buffer, buffer + received);
    handleMessages(socket, connection);
}

void PlainHostServer::handleMessages(int socket, Connection& connection)
{
    SimMessage::takeComplete(connection.input, [&](const Bytes&, const Bytes&) {
        if (connection.announced)
            ++m_replies;
        else
            ++m_announced;
        connection.announced = true;
        // Requests are far smaller than a socket's buffer: a write takes them whole.
        if (m_sending)
            LoopbackSocket::sendAll(socket, m_request);
    });
}
