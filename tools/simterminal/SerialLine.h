#pragma once

#include "SimTlv.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

// The terminal's end of a serial line, raw, 8 data bits, no parity, one stop
// bit: the master of a new pseudo-terminal pair, whose slave the host (or the
// code under test) opens by its name as a serial port, or a serial device.
// Received bytes go to the given function on a reader thread of its own.
// Unplugging closes the line, like pulling the adapter out.
class SerialLine {
public:
    using Receive = std::function<void(const Bytes&)>;

    // A new pseudo-terminal pair.
    explicit SerialLine(Receive receive);
    // The device at the given rate (1200 to 230400 baud).
    SerialLine(const std::string& device, int baudRate, Receive receive);
    ~SerialLine();

    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    bool isOpen() const { return line_ >= 0; }
    // The slave's name, for the far end to open; empty on a device.
    std::string slaveName() const { return slaveName_; }

    // Writes to the line, i.e. towards the far end; false unless all went.
    bool send(const Bytes& bytes);
    void unplug();

private:
    void startReading();
    void readLine();

    Receive receive_;
    int line_ = -1;
    // Held open so that the master reads nothing but data before and between
    // the far end's opening the slave.
    int slave_ = -1;
    std::string slaveName_;
    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

} // namespace testsupport
