#pragma once

#include "simterminal/SimMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Many simulated terminals in one thread: each a loopback connection to the
// library's TCP/IP service that announces itself and answers every request
// through the responder. One epoll loop serves all of them, so the process's
// thread count shows the library's threads, not the simulator's.
class TerminalFleet {
public:
    // The reply to one request of the named terminal; empty: no answer.
    using Responder = std::function<testsupport::Bytes(const testsupport::SimMessage& request,
                                                       const std::string& terminalIdentifier)>;

    explicit TerminalFleet(Responder responder);
    ~TerminalFleet();
    TerminalFleet(const TerminalFleet&) = delete;
    TerminalFleet& operator=(const TerminalFleet&) = delete;

    // Connects one terminal per identifier to the port and sends its
    // connection advice. False when a connection fails (errno tells why).
    bool connect(uint16_t port, const std::vector<std::string>& identifiers);
    void stop();
    // Stops the loop and closes every terminal's connection.
    void hangUp();

    uint64_t requestsAnswered() const { return m_answered; }
    uint64_t requestsIgnored() const { return m_ignored; }
    uint64_t malformedMessages() const { return m_malformed; }
    uint64_t connectionsClosedByLibrary() const { return m_closedByPeer; }

private:
    struct Terminal {
        int socket = -1;
        std::string identifier;
        testsupport::Bytes input;
        testsupport::Bytes output;
        bool open = true;
        bool watchingOutput = false;
    };

    void run();
    void readFrom(Terminal& terminal);
    void answerCompleteMessages(Terminal& terminal);
    void flush(Terminal& terminal);
    void closeTerminal(Terminal& terminal);

    Responder m_responder;
    int m_epoll = -1;
    std::vector<std::unique_ptr<Terminal>> m_terminals;
    std::thread m_loop;
    std::atomic<bool> m_stopping{false};
    std::atomic<uint64_t> m_answered{0};
    std::atomic<uint64_t> m_ignored{0};
    std::atomic<uint64_t> m_malformed{0};
    std::atomic<uint64_t> m_closedByPeer{0};
};
