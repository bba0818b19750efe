#pragma once

#include "SimMessage.h"
#include "SimScript.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// What a terminal announces in its connection advice ("Cu").
struct SimAdvice {
    std::string terminalIdentifier = "TERM0001";
    std::string deviceTypeHex = "04";   // empty: no DF8156 element at all
    std::string terminalModel = "SIM-1";
    std::string serialNumber = "SN0001";
    std::string softwareVersion = "1.0.0";
};

// Plays a payment terminal against the library's TCP/IP service over loopback:
// connects, announces itself, decodes every request and answers it from a
// script keyed by the request's message type. Everything runs on a reader
// thread of its own; all public operations are thread-safe.
class SimTerminal : public SimScript {
public:
    SimTerminal();
    ~SimTerminal() override;
    SimTerminal(const SimTerminal&) = delete;
    SimTerminal& operator=(const SimTerminal&) = delete;

    // A loopback port that is free, below the ports the system hands out to
    // outgoing connections.
    static uint16_t freeLoopbackPort();
    // A socket connected to the loopback port, without Nagle delay; -1 (errno set) when it fails,
    // also when giveUpAfter (if not zero) has passed first, say with a backlog nobody accepts.
    static int loopbackConnection(uint16_t port, std::chrono::milliseconds giveUpAfter = std::chrono::milliseconds(0));

    bool connectTo(uint16_t port);
    // The local (terminal side) port of the connection.
    uint16_t localPort() const;
    void close();

    void on(const std::string& requestType, Responder responder) override;

    bool send(const Bytes& bytes);
    bool sendAdvice(const SimAdvice& advice = SimAdvice());
    bool sendSynchronizationAdvice(const std::string& stateHex);

    std::vector<SimMessage> requests() const;
    bool waitForRequests(size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const;
    bool peerClosed() const { return m_peerClosed; }
    // Bytes received that did not form a well-formed message.
    size_t malformedCount() const { return m_malformed; }

    // Message builders.
    static Bytes adviceMessage(const SimAdvice& advice);
    static Bytes synchronizationAdviceMessage(const std::string& stateHex);
    static Bytes replyTo(const SimMessage& request, const std::vector<SimTlv>& elements = {});
    static Bytes rejectionOf(const SimMessage& request, const std::string& rejectionHex);
    static Bytes incidentReplyTo(const SimMessage& request, const std::string& incidentHex,
                                 const std::string& merchantText = std::string());
    static Bytes informationReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                    const std::string& model, const std::string& capabilitiesHex);
    static Bytes garbage();

    static Reply answer(const Bytes& message) { return Reply{{message}, false}; }
    static Reply silence() { return Reply{}; }
    static Reply closing() { return Reply{{}, true}; }

private:
    void readLoop();
    void handleBuffer(Bytes& buffer);
    void handleRequest(const SimMessage& request);

    int m_socket = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<std::string, Responder> m_script;
    std::vector<SimMessage> m_requests;
    std::atomic<bool> m_peerClosed{false};
    std::atomic<bool> m_closing{false};
    std::atomic<size_t> m_malformed{0};
};

} // namespace testsupport
