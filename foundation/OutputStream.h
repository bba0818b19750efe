#pragma once

#include <boost/noncopyable.hpp>

namespace vorsam {

// A sink for bytes to send.
class OutputStream : private boost::noncopyable {
public:
    virtual ~OutputStream() = default;
    // True when the device took the bytes into its outgoing buffer; false
    // when there is no usable device. Not to be called on the device's own thread.
    virtual bool write(const unsigned char* data, int size) = 0;
    // Whether write never waits for another thread, so that its caller may
    // hold a lock that the device's threads wait for.
    virtual bool writesWithoutWaiting() const { return false; }
};

} // namespace vorsam
