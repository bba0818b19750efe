#pragma once

#include "foundation/ListenerList.h"
#include "foundation/Runnable.h"
#include "foundation/SerialServer.h"

#include <memory>
#include <mutex>

namespace vorsam {

class SerialPortImpl;
class Thread;
class ThreadCaller;

// The serial server: opens its port from a thread of its own and tells its
// listeners, on that thread, when the port opens, closes and has data.
class SerialServerImpl : public Runnable, public SerialServer {
public:
    SerialServerImpl();
    ~SerialServerImpl() override;

    void startTask() override;
    void onFinished() override;

    bool open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits) override;
    bool close() override;
    bool isOpen() override;
    void registerListener(std::shared_ptr<SerialServerListener> listener) override;
    void unregisterListener(std::shared_ptr<SerialServerListener> listener) override;

private:
    using PortEvent = void (SerialServerListener::*)(std::weak_ptr<SerialPort>);

    void relay(void (SerialPortImpl::*signal)(), PortEvent event, bool onlyWhileOpen);
    void notify(PortEvent event, bool onlyWhileOpen);
    std::shared_ptr<SerialPortImpl> currentPort();

    // The port is reached from the caller's thread and from the server's thread.
    std::mutex mutex_;
    std::shared_ptr<SerialPortImpl> port_;
    ListenerList<SerialServerListener> listeners_;
    std::shared_ptr<ThreadCaller> caller_;
    std::unique_ptr<Thread> thread_;
    QString portName_;
    BaudRate baudRate_ = static_cast<BaudRate>(0);
    Parity parity_ = NoParity;
    StopBits stopBits_ = OneStop;
};

} // namespace vorsam
