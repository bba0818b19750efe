#pragma once

#include "foundation/SerialPort.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace vorsam {

// Told of the serial server's port; every call runs on the server's thread.
class SerialServerListener : public boost::noncopyable {
public:
    virtual ~SerialServerListener() = default;
    virtual void onOpen(std::weak_ptr<SerialPort> port);
    virtual void onClose(std::weak_ptr<SerialPort> port);
    virtual void onDataPending(std::weak_ptr<SerialPort> port) = 0;
};

} // namespace vorsam
