#include "TerminalFleet.h"

#include "LoopbackSocket.h"

#include "simterminal/SimTerminal.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

using testsupport::Bytes;
using testsupport::SimMessage;

TerminalFleet::TerminalFleet(Responder responder)
    : m_responder(std::move(responder)), m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (m_epoll < 0)
        throw std::runtime_error("epoll_create1 failed");
    m_loop = std::thread([this] { run(); });
}

TerminalFleet::~TerminalFleet()
{
    hangUp();
    ::close(m_epoll);
}

void TerminalFleet::hangUp()
{
    stop();
    for (const auto& terminal : m_terminals)
        closeTerminal(*terminal);
}

bool TerminalFleet::connect(uint16_t port, const std::vector<std::string>& identifiers)
{
    for (const std::string& identifier : identifiers) {
        auto terminal = std::make_unique<Terminal>();
        terminal->identifier = identifier;
        terminal->socket = testsupport::SimTerminal::loopbackConnection(port);
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = identifier;
        // The advice goes out before the loop sees the socket: from then on
        // only the loop writes to it.
        if (terminal->socket < 0
            || !LoopbackSocket::sendAll(terminal->socket, testsupport::SimTerminal::adviceMessage(advice)))
            return false;
        ::fcntl(terminal->socket, F_SETFL, ::fcntl(terminal->socket, F_GETFL) | O_NONBLOCK);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.ptr = terminal.get();
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, terminal->socket, &event) != 0)
            return false;
        m_terminals.push_back(std::move(terminal));
    }
    return true;
}

void TerminalFleet::stop()
{
    m_stopping = true;
    if (m_loop.joinable())
        m_loop.join();
}

void TerminalFleet::run()
{
    epoll_event events[256];
    while (!m_stopping) {
        const int ready = ::epoll_wait(m_epoll, events, 256, 20);
        for (int i = 0; i < ready; ++i) {
            Terminal& terminal = *static_cast<Terminal*>(events[i].data.ptr);
            if (events[i].events & EPOLLOUT)
                flush(terminal);
            if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR))
                readFrom(terminal);
        }
    }
}

void TerminalFleet::readFrom(Terminal& terminal)
{
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::recv(terminal.socket, chunk, sizeof chunk, 0);
        if (n > 0) {
            terminal.input.insert(terminal.input.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (terminal.open)
            ++m_closedByPeer;
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, terminal.socket, nullptr);
        terminal.open = false;
        return;
    }
    answerCompleteMessages(terminal);
}

void TerminalFleet::answerCompleteMessages(Terminal& terminal)
{
    SimMessage::takeComplete(terminal.input, [&](const Bytes& header, const Bytes& body) {
        try {
            const Bytes reply = m_responder(SimMessage::parse(header, body), terminal.identifier);
            if (reply.empty()) {
                ++m_ignored;
                return;
            }
            terminal.output.insert(terminal.output.end(), reply.begin(), reply.end());
            ++m_answered;
        } catch (const std::exception&) {
            ++m_malformed;
        }
    });
    flush(terminal);
}

void TerminalFleet::flush(Terminal& terminal)
{
    size_t written = 0;
    while (terminal.open && written < terminal.output.size()) {
        const ssize_t n = ::send(terminal.socket, terminal.output.data() + written, terminal.output.size() - written,
                                 MSG_NOSIGNAL);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    terminal.output.erase(terminal.output.begin(), terminal.output.begin() + written);
    const bool wantsOutput = !terminal.output.empty();
    if (!terminal.open || wantsOutput == terminal.watchingOutput)
        return;
    terminal.watchingOutput = wantsOutput;
    epoll_event event{};
    event.events = wantsOutput ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
    event.data.ptr = &terminal;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, terminal.socket, &event);
}

void TerminalFleet::closeTerminal(Terminal& terminal)
{
    terminal.open = false;
    if (terminal.socket >= 0)
        ::close(terminal.socket);
    terminal.socket = -1;
}
