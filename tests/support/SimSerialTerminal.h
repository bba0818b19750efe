#pragma once

#include "simterminal/LinkPeer.h"
#include "simterminal/SimTerminal.h"
#include "support/PtyPair.h"

#include <QString>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// Plays a payment terminal on a serial line: the library opens the slave of
// a pseudo-terminal pair by its name, this terminal speaks the serial link on
// the master (with the independent LinkPeer) and answers each request from a
// script keyed by message type, like SimTerminal does over TCP/IP. Requests
// repeated by the link (same message again) are handled once. Thread-safe.
class SimSerialTerminal {
public:
    using Reply = SimTerminal::Reply;
    using Responder = SimTerminal::Responder;

    SimSerialTerminal();
    SimSerialTerminal(const SimSerialTerminal&) = delete;
    SimSerialTerminal& operator=(const SimSerialTerminal&) = delete;

    bool isOpen() const { return pty_.isOpen(); }
    // The port name the library is to open.
    QString portName() const { return pty_.slaveName(); }

    // Requests without responder get no answer; a Reply's close is ignored.
    void on(const std::string& requestType, Responder responder);
    // Answers "Ci" as the terminal with this identifier and model.
    void identifyAs(const std::string& terminalIdentifier, const std::string& model = "SIM-SERIAL");

    // A silent terminal neither acknowledges frames nor answers requests.
    void setSilent(bool silent);
    // Handles the requests that came while it was silent, as a terminal that
    // is back reads what waited in its input.
    void answerHeldRequests();
    // Sends one protocol message (header and body) as one data frame.
    void sendMessage(const Bytes& message);

    std::vector<SimMessage> requests() const;
    size_t requestCount(const std::string& type) const;
    bool waitForRequests(const std::string& type, size_t count,
                         std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const;
    const LinkPeer& link() const { return peer_; }

private:
    void onBytes(const Bytes& bytes);
    void handlePayload(const Bytes& payload);

    LinkPeer peer_;
    mutable std::mutex mutex_;
    std::map<std::string, Responder> script_;
    std::vector<SimMessage> requests_;
    size_t handledMessages_ = 0;
    Bytes lastPayload_;
    bool silent_ = false;
    std::vector<Bytes> held_;
    uint8_t nextSequence_ = 1;
    // Last: its reader thread starts at the end of its constructor and ends first.
    PtyPair pty_;
};

} // namespace testsupport
