#pragma once

#include "simterminal/SimTlv.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace testsupport {

// The terminal's side of the serial link, written apart from the library's
// link code so that each checks the other: frames (STX, sequence number,
// DLE-escaped data, ETX, CRC-16/ARC low byte first), ACK n, NAK and WACK.
// It acknowledges good frames and answers damaged ones with a NAK. The
// transport is the caller's: bytes go out through the send function and
// come in through receive. Thread-safe.
class LinkPeer {
public:
    using Send = std::function<void(const Bytes&)>;

    explicit LinkPeer(Send send);

    // Bytes from the library's side of the line, in any chunks.
    void receive(const Bytes& bytes);
    // Sends payload as a frame with the peer's next sequence number.
    void sendMessage(const Bytes& payload);
    // Sends raw bytes, for damaged frames and noise.
    void sendRaw(const Bytes& bytes);
    // When off, good frames are counted but not acknowledged.
    void setAcknowledging(bool acknowledging);
    // The next good non-empty frame is counted but not acknowledged.
    void withholdNextAcknowledgement();

    // Payloads of the non-empty frames received, repetitions included.
    std::vector<Bytes> messages() const;
    size_t messageCount() const;
    // Empty frames received: the link's probes and heartbeats.
    int emptyFrames() const;
    // Acknowledgements received of the peer's frames, repetitions included.
    size_t acknowledgements() const;

    static Bytes frame(const Bytes& payload, uint8_t sequence);
    static uint16_t crc16(const uint8_t* data, size_t length);

private:
    // Handles the element at the head of the buffer; false when it needs more bytes.
    bool handleHead();
    bool handleFrame();

    Send send_;
    mutable std::mutex mutex_;
    Bytes buffer_;
    bool acknowledging_ = true;
    bool withholdNext_ = false;
    uint8_t nextSequence_ = 1;
    std::vector<Bytes> messages_;
    int emptyFrames_ = 0;
    size_t acknowledgements_ = 0;
};

} // namespace testsupport
