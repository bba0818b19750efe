#pragma once

#include "link/LinkTimings.h"

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QByteArray>

#include <boost/optional.hpp>

#include <chrono>
#include <deque>
#include <memory>

namespace kiss {

class StateManager;
class KissOuputInterface;

// What the link engine and its states share. Touched only in the link thread
// once the link runs.
struct SharedData {
    // Back reference; the manager owns the states, which own no manager.
    StateManager* manager = nullptr;
    std::shared_ptr<vorsam::InputStream> input;
    std::shared_ptr<vorsam::OutputStream> output;
    std::shared_ptr<KissOuputInterface> outputInterface;
    // Number of the last data frame sent.
    unsigned char sequenceNumber = 0;
    // Whether that frame holds a message whose acknowledgement is still to come.
    bool awaitedFrameCarriesMessage = false;
    QByteArray receiveBuffer;
    // When bytes last arrived, to tell a frame still arriving from a stale fragment.
    std::chrono::steady_clock::time_point lastReceiveTime;

    // Payloads written while a frame awaited its acknowledgement or a frame
    // was being received; sent in order once the link is idle, unless no
    // longer wanted by then.
    std::deque<QByteArray> pendingWrites;

    // The last frame delivered, to recognise its repetition when our
    // acknowledgement was lost. The terminal repeats it only until its
    // resends run out. Where its numbers advance, the number tells a new frame
    // from a repeat; where they never do, the same frame once it has
    // acknowledged a newer message of ours may be its answer: new when it
    // comes before a resend could.
    struct ReceivedFrame {
        unsigned char sequenceNumber;
        QByteArray data;
        std::chrono::steady_clock::time_point repeatableUntil;
        // When it last came, first sending or repeat.
        std::chrono::steady_clock::time_point arrivedAt;
        // The terminal has acknowledged a newer message of ours since.
        bool answersOurs = false;
        // We sent a NAK since it came.
        bool resendMayComeAtOnce = false;
    };
    boost::optional<ReceivedFrame> lastReceived;
    // The number of the last frame delivered, kept when the record above goes.
    boost::optional<unsigned char> lastNumberReceived;
    // Whether the terminal's last two frames carried different numbers: it
    // counts its frames rather than numbering them all alike.
    bool numbersAdvance = false;

    LinkTimings timings;
};

} // namespace kiss
