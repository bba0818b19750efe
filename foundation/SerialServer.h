#pragma once

#include "foundation/SerialPort.h"
#include "foundation/SerialServerListener.h"

#include <QString>

#include <memory>

namespace vorsam {

// Serves one serial port on a thread of its own and tells its listeners
// when the port opens, closes and has data.
class SerialServer {
public:
    virtual ~SerialServer() = default;

    // False while the server holds a thread. Throws std::invalid_argument for a
    // parity or stop-bits value outside its enumeration, before anything starts.
    virtual bool open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits) = 0;
    // Closes the port without telling the listeners; false when not open.
    virtual bool close() = 0;
    virtual bool isOpen() = 0;
    virtual void registerListener(std::shared_ptr<SerialServerListener> listener) = 0;
    virtual void unregisterListener(std::shared_ptr<SerialServerListener> listener) = 0;
};

std::unique_ptr<SerialServer> makeSerialServer();

} // namespace vorsam
