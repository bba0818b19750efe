#include "SimTerminal.h"

#include "ScaledDeadline.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testsupport {

SimTerminal::SimTerminal() = default;

SimTerminal::~SimTerminal()
{
    close();
}

namespace {

// Ports below the range the system hands out to outgoing connections: a test
// that dials in thousands of times cannot take them between the probe and the
// service's listen.
constexpr uint16_t FirstListeningPort = 10000;

uint16_t firstOutgoingPort()
{
    std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
    unsigned first = 0;
    if (!(range >> first) || first <= FirstListeningPort + 1000u || first > 65535u)
        return 32768;
    return static_cast<uint16_t>(first);
}

bool bindsTo(uint16_t port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return bound;
}

} // namespace

uint16_t SimTerminal::freeLoopbackPort()
{
    static std::atomic<unsigned> draws{0};
    const uint16_t end = firstOutgoingPort();
    std::minstd_rand random(static_cast<unsigned>(::getpid()) * 7919u + draws++);
    std::uniform_int_distribution<unsigned> pick(FirstListeningPort, end - 1u);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const auto port = static_cast<uint16_t>(pick(random));
        if (bindsTo(port))
            return port;
    }
    return 0;
}

uint16_t SimTerminal::localPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

int SimTerminal::loopbackConnection(uint16_t port, std::chrono::milliseconds giveUpAfter)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return -1;
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (giveUpAfter.count() > 0) {
        const std::chrono::microseconds micros = giveUpAfter;
        timeval giveUp{};
        giveUp.tv_sec = static_cast<decltype(giveUp.tv_sec)>(micros.count() / 1000000);
        giveUp.tv_usec = static_cast<decltype(giveUp.tv_usec)>(micros.count() % 1000000);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &giveUp, sizeof giveUp);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(socket);
        errno = error;
        return -1;
    }
    return socket;
}

bool SimTerminal::connectTo(uint16_t port)
{
    m_socket = loopbackConnection(port);
    if (m_socket < 0)
        return false;
    m_reader = std::thread([this] { readLoop(); });
    return true;
}

void SimTerminal::close()
{
    m_closing = true;
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
    if (m_reader.joinable())
        m_reader.join();
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

void SimTerminal::on(const std::string& requestType, Responder responder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script[requestType] = std::move(responder);
}

bool SimTerminal::send(const Bytes& bytes)
{
    if (m_socket < 0)
        return false;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::send(m_socket, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool SimTerminal::sendAdvice(const SimAdvice& advice)
{
    return send(adviceMessage(advice));
}

bool SimTerminal::sendSynchronizationAdvice(const std::string& stateHex)
{
    return send(synchronizationAdviceMessage(stateHex));
}

std::vector<SimMessage> SimTerminal::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

bool SimTerminal::waitForRequests(size_t count, std::chrono::milliseconds deadline) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return noteWait(m_changed.wait_for(lock, waitDeadline(deadline), [&] { return m_requests.size() >= count; }));
}

void SimTerminal::readLoop()
{
    Bytes buffer;
    uint8_t chunk[4096];
    while (!m_closing) {
        pollfd pfd{m_socket, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_closing)
                m_peerClosed = true;
            m_changed.notify_all();
            return;
        }
        buffer.insert(buffer.end(), chunk, chunk + n);
        handleBuffer(buffer);
    }
}

void SimTerminal::handleBuffer(Bytes& buffer)
{
    SimMessage::takeComplete(buffer, [this](const Bytes& header, const Bytes& body) {
        try {
            handleRequest(SimMessage::parse(header, body));
        } catch (const std::exception&) {
            ++m_malformed;
        }
    });
}

void SimTerminal::handleRequest(const SimMessage& request)
{
    Responder responder;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
        const auto it = m_script.find(request.type);
        if (it != m_script.end())
            responder = it->second;
        m_changed.notify_all();
    }
    if (!responder)
        return;
    const Reply reply = responder(request);
    for (const auto& write : reply.writes)
        send(write);
    if (reply.close)
        ::shutdown(m_socket, SHUT_RDWR);
}

Bytes SimTerminal::adviceMessage(const SimAdvice& advice)
{
    std::vector<SimTlv> elements;
    if (!advice.deviceTypeHex.empty())
        elements.push_back(SimTlv::hex("DF8156", advice.deviceTypeHex));
    elements.push_back(SimTlv::text("DF05", advice.terminalModel));
    elements.push_back(SimTlv::constructed(fromHex("BF8102"), {SimTlv::text("9F1C", advice.terminalIdentifier),
                                                               SimTlv::text("9F1E", advice.serialNumber)}));
    elements.push_back(SimTlv::text("DF9300", advice.softwareVersion));
    return SimMessage::frame(SimMessage::buildBody("Cu", 1, elements));
}

Bytes SimTerminal::synchronizationAdviceMessage(const std::string& stateHex)
{
    return SimMessage::frame(SimMessage::buildBody("Cy", 1, {SimTlv::hex("DF940C", stateHex)}));
}

Bytes SimTerminal::replyTo(const SimMessage& request, const std::vector<SimTlv>& elements)
{
    const std::string type = std::string("R") + (request.type.size() > 1 ? request.type.substr(1, 1) : "?");
    return SimMessage::frame(SimMessage::buildBody(type, request.sequence, elements));
}

Bytes SimTerminal::rejectionOf(const SimMessage& request, const std::string& rejectionHex)
{
    return SimMessage::frame(SimMessage::buildBody(
        "Rj", request.sequence, {SimTlv::constructed(fromHex("BF8101"), {SimTlv::hex("DF2D", rejectionHex)})}));
}

Bytes SimTerminal::incidentReplyTo(const SimMessage& request, const std::string& incidentHex,
                                   const std::string& merchantText)
{
    std::vector<SimTlv> elements{
        SimTlv::constructed(fromHex("BF8101"), {SimTlv::hex("DF940D", incidentHex)})};
    if (!merchantText.empty())
        elements.push_back(SimTlv::primitive(fromHex("DF9460"), SimTlv::text("DF13", merchantText).encode()));
    const std::string type = std::string("R") + (request.type.size() > 1 ? request.type.substr(1, 1) : "?");
    return SimMessage::frame(SimMessage::buildBody(type, request.sequence, elements));
}

Bytes SimTerminal::informationReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                      const std::string& model, const std::string& capabilitiesHex)
{
    return replyTo(request, {SimTlv::constructed(fromHex("BF8102"), {SimTlv::text("9F1E", terminalIdentifier),
                                                                     SimTlv::hex("9F40", capabilitiesHex)}),
                             SimTlv::text("DF05", model)});
}

Bytes SimTerminal::garbage()
{
    // Long enough to be taken for a header, but neither "MC" nor a valid type.
    Bytes junk(40, 0x5A);
    junk[35] = 0x07;
    return junk;
}

} // namespace testsupport
