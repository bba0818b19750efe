#pragma once

#include "foundation/ThreadCaller.h"

#include <QByteArray>

#include <functional>

class QIODevice;

namespace vorsam {

// The reads and writes of a device that lives on a worker thread of its own:
// each one hops to that thread and its caller waits for the result. The
// worker thread opens the stream when its event loop starts and closes it
// before the loop ends; a call it does not serve reads nothing or fails.
class DeviceStream {
public:
    // Asked on the worker thread: the device, or null while it is unusable.
    using Device = std::function<QIODevice*()>;

    explicit DeviceStream(Device device);

    void open();
    void close();

    int read(QByteArray& data);
    bool write(const unsigned char* data, int size);
    // Hands the bytes to the worker thread without waiting for the device:
    // false when the worker does not serve calls.
    bool writeLater(const unsigned char* data, int size);

private:
    bool writeToDevice(QByteArray const& bytes);

    Device device_;
    ThreadCaller caller_;
};

} // namespace vorsam
