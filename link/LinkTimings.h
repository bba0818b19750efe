#pragma once

#include <QtGlobal>

#include <chrono>

namespace kiss {

// Time-outs of the link and its line rate. Tests shorten the time-outs; whoever
// opens the port gives its line rate (the serial connection factory does).
struct LinkTimings {
    // How often a frame is sent again before it counts as lost.
    static constexpr int maxResends = 3;
    // A long frame, as terminals cut a ticket.
    static constexpr int kLongFrame = 512;

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
    std::chrono::milliseconds ackTimeoutFor(int frameLength) const { return ackTimeout + lineTime(frameLength); }

    // How long the line may stay quiet between two frames of one message: the
    // next frame, up to a long one, must first cross the line once we have
    // acknowledged the last (at 9600 baud 640 ms for 512 bytes).
    std::chrono::milliseconds frameGap() const { return completeMessageTimeout + lineTime(kLongFrame); }

    // The time frameLength bytes take on the line, at up to 12 bits a character.
    std::chrono::milliseconds lineTime(int frameLength) const
    {
        if (baudRate <= 0)
            return std::chrono::milliseconds(0);
        const qint64 bitsOnLine = static_cast<qint64>(frameLength) * 12;
        return std::chrono::milliseconds((bitsOnLine * 1000 + baudRate - 1) / baudRate);
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
