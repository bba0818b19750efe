#pragma once

#include <QtGlobal>

#include <chrono>

namespace kiss {

// Time-outs of the link and its line rate. Tests shorten the time-outs; whoever
// opens the port gives its line rate (the serial connection factory does).
struct LinkTimings {
    // How often a frame is sent again before it counts as lost.
    static constexpr int maxResends = 3;

    // From entering Connect to the probe frame.
    std::chrono::milliseconds connectDelay{500};
    // How long a sent frame waits for its acknowledgement once it has left the line.
    std::chrono::milliseconds ackTimeout{2000};
    // How long a partly received frame may stay without new bytes.
    std::chrono::milliseconds completeMessageTimeout{100};
    // Line rate in bits per second; 0 when unknown (no allowance for the line time).
    qint64 baudRate = 0;

    // The acknowledgement time-out of a frame of frameLength bytes: the frame
    // must first cross the line, at up to 12 bits a character (start bit,
    // 8 data bits, parity, 2 stop bits).
    std::chrono::milliseconds ackTimeoutFor(int frameLength) const
    {
        if (baudRate <= 0)
            return ackTimeout;
        const qint64 bitsOnLine = static_cast<qint64>(frameLength) * 12;
        return ackTimeout + std::chrono::milliseconds((bitsOnLine * 1000 + baudRate - 1) / baudRate);
    }

    // How soon after a frame came its resend may come: its sender resends
    // only once its acknowledgement time-out has run (or at our NAK); half of
    // it leaves room for the delays of both sides.
    std::chrono::milliseconds earliestResend() const { return ackTimeout / 2; }

    // How long after its first arrival a frame of frameLength bytes may come
    // again because its acknowledgement was lost: until its sender, waiting
    // for an acknowledgement after each sending, gives up.
    std::chrono::milliseconds repeatWindowFor(int frameLength) const
    {
        return ackTimeoutFor(frameLength) * (maxResends + 1);
    }
};

} // namespace kiss
