#pragma once

#include <QByteArray>

#include <boost/noncopyable.hpp>

namespace vorsam {

// A source of received bytes.
class InputStream : private boost::noncopyable {
public:
    virtual ~InputStream() = default;
    // Appends every byte the device holds now and returns their count;
    // never waits for more. Not to be called on the device's own thread.
    virtual int read(QByteArray& data) = 0;
};

} // namespace vorsam
