#include "foundation/SerialServerImpl.h"

#include "foundation/RunnableProxy.h"
#include "foundation/SerialPortImpl.h"
#include "foundation/Thread.h"
#include "foundation/ThreadCaller.h"

namespace vorsam {

std::unique_ptr<SerialServer> makeSerialServer()
{
    return std::make_unique<SerialServerImpl>();
}

SerialServerImpl::SerialServerImpl()
    : caller_(std::make_shared<ThreadCaller>())
{
}

SerialServerImpl::~SerialServerImpl()
{
    close();
}

void SerialServerImpl::startTask()
{
    caller_->open();
    const std::shared_ptr<SerialPortImpl> port = SerialPortImpl::make();
    std::shared_ptr<SerialPortImpl> earlier;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        earlier = port_;
        port_ = port;
    }
    earlier.reset();
    relay(&SerialPortImpl::dataPendingSignal, &SerialServerListener::onDataPending, true);
    relay(&SerialPortImpl::portOpenedSignal, &SerialServerListener::onOpen, false);
    relay(&SerialPortImpl::portClosedSignal, &SerialServerListener::onClose, false);
    port->open(portName_, baudRate_, parity_, stopBits_);
}

// Closing the port here reports nothing: the caller no longer serves jobs.
void SerialServerImpl::onFinished()
{
    caller_->close();
    if (const std::shared_ptr<SerialPortImpl> port = currentPort())
        port->close();
}

// Port signals come on the port's thread; their handling moves to this
// thread through the caller, which drops it once the server has closed.
void SerialServerImpl::relay(void (SerialPortImpl::*signal)(), PortEvent event, bool onlyWhileOpen)
{
    const std::shared_ptr<ThreadCaller> caller = caller_;
    SerialServerImpl* const self = this;
    QObject::connect(currentPort().get(), signal, [caller, self, event, onlyWhileOpen] {
        caller->post([self, event, onlyWhileOpen] { self->notify(event, onlyWhileOpen); });
    });
}

void SerialServerImpl::notify(PortEvent event, bool onlyWhileOpen)
{
    const std::shared_ptr<SerialPortImpl> port = currentPort();
    if (!port || (onlyWhileOpen && !port->isOpen()))
        return;
    listeners_.notify(event, port, "Serial server listener failed:");
}

bool SerialServerImpl::open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits)
{
    SerialPortImpl::checkLineSettings(parity, stopBits);
    if (thread_)
        return false;
    portName_ = port;
    baudRate_ = baudRate;
    parity_ = parity;
    stopBits_ = stopBits;
    const QString name = QString("SerialServer(%1)Thread").arg(port);
    // The listeners run here, and what they start may reach the host's code.
    thread_ = startThreadOnce(name, std::make_unique<RunnableProxy>(this), Thread::HostCodeStackSize);
    return thread_ != nullptr;
}

bool SerialServerImpl::close()
{
    if (!thread_)
        return false;
    thread_.reset();
    return true;
}

bool SerialServerImpl::isOpen()
{
    const std::shared_ptr<SerialPortImpl> port = currentPort();
    return port && port->isOpen();
}

void SerialServerImpl::registerListener(std::shared_ptr<SerialServerListener> listener)
{
    listeners_.add(std::move(listener));
}

void SerialServerImpl::unregisterListener(std::shared_ptr<SerialServerListener> listener)
{
    listeners_.remove(listener);
}

std::shared_ptr<SerialPortImpl> SerialServerImpl::currentPort()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return port_;
}

} // namespace vorsam
