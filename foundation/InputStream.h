#pragma once

#include <QByteArray>

#include <boost/noncopyable.hpp>

#include <chrono>
#include <vector>

namespace vorsam {

// The payload of one frame of a stream that carries messages in frames.
struct ReceivedFrame {
    QByteArray payload;
    // The frame repeats the one before it, number and all, so it may be the
    // sender's resend of it (our acknowledgement lost) or a new frame with
    // the same bytes; the frames after it tell which.
    bool mayBeRepeat = false;
};

// A source of received bytes.
class InputStream : private boost::noncopyable {
public:
    virtual ~InputStream() = default;
    // Appends every byte the device holds now and returns their count;
    // never waits for more. Not to be called on the device's own thread.
    virtual int read(QByteArray& data) = 0;
    // A stream that carries messages in frames (the serial link) appends each
    // frame received as one element and returns true: a message ends with its
    // frame. Any other stream returns false and reads nothing; its bytes come
    // through read.
    virtual bool readFrames(std::vector<ReceivedFrame>& frames)
    {
        (void)frames;
        return false;
    }
    // How long the line may stay quiet between the frames of one message.
    virtual std::chrono::milliseconds frameGap() const { return std::chrono::milliseconds(0); }
};

} // namespace vorsam
