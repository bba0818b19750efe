#pragma once

#include "simterminal/SimMessage.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <unordered_map>

// The yardstick of the scale benchmark: a plain loopback server in one epoll
// thread that does what the library does for a terminal fleet, with nothing
// in between. It waits for each terminal's first message (its announcement),
// then sends it the same request bytes again as soon as each reply is whole.
class PlainHostServer {
public:
    explicit PlainHostServer(testsupport::Bytes request);
    ~PlainHostServer();
    PlainHostServer(const PlainHostServer&) = delete;
    PlainHostServer& operator=(const PlainHostServer&) = delete;

    uint16_t port() const { return m_port; }
    // Terminals that have announced themselves.
    int announced() const { return m_announced; }
    uint64_t replies() const { return m_replies; }
    // Stops sending requests; replies still on their way are counted.
    void stopRequests() { m_sending = false; }

private:
    struct Connection {
        testsupport::Bytes input;
        bool announced = false;
    };

    void run();
    void accept();
    void read(int socket, Connection& connection);
    // Counts whole messages; each one is answered with the next request.
    void handleMessages(int socket, Connection& connection);

    testsupport::Bytes m_request;
    int m_listener = -1;
    int m_epoll = -1;
    uint16_t m_port = 0;
    std::unordered_map<int, Connection> m_connections;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_sending{true};
    std::atomic<int> m_announced{0};
    std::atomic<uint64_t> m_replies{0};
    std::thread m_loop;
};
