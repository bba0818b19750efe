#pragma once

#include "LinkPeer.h"
#include "SerialLine.h"
#include "SimTerminal.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// Plays a payment terminal on a serial line: the library opens the slave of
// a pseudo-terminal pair by its name (or the port wired to the terminal's
// serial device), this terminal speaks the serial link on its end (with the independent LinkPeer:
// frames, acknowledgements, heartbeats acknowledged) and answers each request
// from a script keyed by message type, like SimTerminal does over TCP/IP.
// Requests repeated by the link (same message again) are handled once.
// Thread-safe.
class SimSerialTerminal : public SimScript {
public:
    // On a new pseudo-terminal pair.
    SimSerialTerminal();
    // On a serial device at the given rate.
    SimSerialTerminal(const std::string& device, int baudRate);
    SimSerialTerminal(const SimSerialTerminal&) = delete;
    SimSerialTerminal& operator=(const SimSerialTerminal&) = delete;

    bool isOpen() const { return line_.isOpen(); }
    // The port name the library is to open; empty on a device.
    std::string portName() const { return line_.slaveName(); }

    // A Reply's close is ignored.
    void on(const std::string& requestType, Responder responder) override;
    // Answers "Ci" as the terminal with this identifier and model.
    void identifyAs(const std::string& terminalIdentifier, const std::string& model = "SIM-SERIAL");

    // A silent terminal neither acknowledges frames nor answers requests.
    void setSilent(bool silent);
    // Handles the requests that came while it was silent, as a terminal that
    // is back reads what waited in its input.
    void answerHeldRequests();
    // Sends one protocol message (header and body) as one data frame.
    void sendMessage(const Bytes& message);
    // Sends every frame under the sequence number of the last one, as some
    // terminals do, instead of counting.
    void setNumberingFramesAlike(bool alike);
    // Sends the last frame again, number and all, as for an acknowledgement
    // it missed.
    void resendLastFrame();
    // The same once the link's acknowledgement time-out has run since the
    // frame was sent, as a terminal resends it.
    void resendLastFrameWhenDue();
    // The next request's frame goes unacknowledged (it is still answered).
    void withholdNextAcknowledgement();

    std::vector<SimMessage> requests() const;
    size_t requestCount(const std::string& type) const;
    bool waitForRequests(const std::string& type, size_t count,
                         std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const;
    // Messages received that did not parse as a request.
    size_t malformedCount() const;
    const LinkPeer& link() const { return peer_; }

private:
    void onBytes(const Bytes& bytes);
    void handlePayload(const Bytes& payload);
    size_t countOf(const std::string& type) const;

    LinkPeer peer_;
    mutable std::mutex mutex_;
    mutable std::condition_variable requested_;
    std::map<std::string, Responder> script_;
    std::vector<SimMessage> requests_;
    size_t malformed_ = 0;
    size_t handledMessages_ = 0;
    Bytes lastPayload_;
    bool silent_ = false;
    std::vector<Bytes> held_;
    uint8_t nextSequence_ = 1;
    bool framesAlike_ = false;
    Bytes lastFrame_;
    std::chrono::steady_clock::time_point lastFrameSentAt_;
    // Last: its reader thread starts at the end of its constructor and ends first.
    SerialLine line_;
};

} // namespace testsupport
