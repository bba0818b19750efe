#pragma once

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QString>

#include <boost/noncopyable.hpp>

#include <memory>
#include <vector>

namespace vorsam {

// Line rate in bits per second; any rate the serial-port library accepts may be given.
enum BaudRate : int {
    Baud1200 = 1200,
    Baud2400 = 2400,
    Baud4800 = 4800,
    Baud9600 = 9600,
    Baud19200 = 19200,
    Baud38400 = 38400,
    Baud57600 = 57600,
    Baud115200 = 115200
};

enum Parity : int { NoParity = 0, EvenParity = 1, OddParity = 2, SpaceParity = 3, MarkParity = 4 };

enum StopBits : int { OneStop = 0, OneAndHalfStop = 1, TwoStop = 2 };

// One serial line with a thread of its own and its two byte streams.
class SerialPort : private boost::noncopyable {
public:
    virtual ~SerialPort() = default;

    // Starts the port's thread, which opens the device; false while that
    // thread runs. Throws std::invalid_argument for a parity or stop-bits
    // value outside its enumeration, before anything is started.
    virtual bool open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits) = 0;
    // Ends the port's thread and waits for it. Not on the port's own thread.
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString getPort() const = 0;
    virtual BaudRate getBaudRate() const = 0;
    virtual Parity getParity() const = 0;
    virtual StopBits getStopBits() const = 0;
    virtual std::shared_ptr<InputStream> getInputStream() const = 0;
    virtual std::shared_ptr<OutputStream> getOutputStream() const = 0;
};

std::shared_ptr<SerialPort> makeSerialPort();

// Names of the serial ports the system offers.
std::vector<QString> getAvailableSerialPorts();

// Makes what Qt makes for a port's first open (its table of baud rates),
// which would otherwise be made on the port's thread: the exit destroys
// statics in the reverse order of their making.
void buildSerialPortStatics();

int getBaudRateAsNumericValue(BaudRate baudRate);

} // namespace vorsam
