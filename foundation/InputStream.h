#pragma once

#include <QByteArray>

#include <boost/noncopyable.hpp>

#include <vector>

namespace vorsam {

// A source of received bytes.
class InputStream : private boost::noncopyable {
public:
    virtual ~InputStream() = default;
    // Appends every byte the device holds now and returns their count;
    // never waits for more. Not to be called on the device's own thread.
    virtual int read(QByteArray& data) = 0;
    // A stream that carries messages in frames (the serial link) appends the
    // payload of each frame received as one element and returns true: a
    // message ends with its frame. Any other stream returns false and reads
    // nothing; its bytes come through read.
    virtual bool readFrames(std::vector<QByteArray>& frames)
    {
        (void)frames;
        return false;
    }
};

} // namespace vorsam
