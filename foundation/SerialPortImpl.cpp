#include "foundation/SerialPortImpl.h"

#include "foundation/RunnableProxy.h"
#include "foundation/Thread.h"

#include <QDebug>
#include <QSerialPortInfo>

#include <atomic>
#include <climits>

#include <poll.h>
#include <stdexcept>

namespace vorsam {

namespace {

QSerialPort::Parity toQtParity(Parity parity)
{
    switch (parity) {
    case NoParity:
        return QSerialPort::NoParity;
    case EvenParity:
        return QSerialPort::EvenParity;
    case OddParity:
        return QSerialPort::OddParity;
    case SpaceParity:
        return QSerialPort::SpaceParity;
    case MarkParity:
        return QSerialPort::MarkParity;
    }
    throw std::invalid_argument("Invalid parity value");
}

QSerialPort::StopBits toQtStopBits(StopBits stopBits)
{
    switch (stopBits) {
    case OneStop:
        return QSerialPort::OneStop;
    case OneAndHalfStop:
        return QSerialPort::OneAndHalfStop;
    case TwoStop:
        return QSerialPort::TwoStop;
    }
    throw std::invalid_argument("Invalid stopbits value");
}

} // namespace

// State shared between the owner's thread and the port's thread; whether the
// device is open is a copy kept by the port's thread.
class SerialPortImpl::Impl {
public:
    mutable std::mutex mutex;
    QString port;
    BaudRate baudRate = static_cast<BaudRate>(0);
    Parity parity = NoParity;
    StopBits stopBits = OneStop;
    std::shared_ptr<QSerialPort> device;
    std::atomic<bool> open{false};
};

std::shared_ptr<SerialPortImpl> SerialPortImpl::make()
{
    return std::shared_ptr<SerialPortImpl>(new SerialPortImpl());
}

std::shared_ptr<SerialPort> makeSerialPort()
{
    return SerialPortImpl::make();
}

void buildSerialPortStatics()
{
    QSerialPortInfo::standardBaudRates();
    // Its lock file's name is too long to be made: the open fails as it
    // tries, after Qt has listed the folders that lock files go to, and
    // leaves nothing behind.
    QSerialPort unopenable(QStringLiteral("/") + QString(NAME_MAX + 1, QLatin1Char('l')));
    unopenable.open(QIODevice::ReadWrite);
}

std::vector<QString> getAvailableSerialPorts()
{
    std::vector<QString> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names.push_back(info.portName());
    return names;
}

int getBaudRateAsNumericValue(BaudRate baudRate)
{
    return baudRate;
}

void SerialPortImpl::checkLineSettings(Parity parity, StopBits stopBits)
{
    toQtParity(parity);
    toQtStopBits(stopBits);
}

SerialPortImpl::SerialPortImpl()
    : d_(std::make_shared<Impl>())
    , stream_([d = d_.get()]() -> QIODevice* {
        return d->device && d->device->isOpen() ? d->device.get() : nullptr;
    })
{
}

SerialPortImpl::~SerialPortImpl()
{
    close();
}

void SerialPortImpl::startTask()
{
    if (!d_->device)
        d_->device = std::make_shared<QSerialPort>(this);
    stream_.open();
    QObject::connect(d_->device.get(), &QSerialPort::readyRead, this, &SerialPortImpl::dataPending);
    QObject::connect(d_->device.get(), &QSerialPort::errorOccurred, this, &SerialPortImpl::deviceError);
    if (openDevice()) {
        line_.hold(static_cast<int>(d_->device->handle()));
        d_->open = true;
        emit portOpenedSignal();
    } else {
        qDebug() << "Error opening serial port:" << d_->device->errorString();
    }
}

bool SerialPortImpl::openDevice()
{
    QSerialPort& device = *d_->device;
    std::lock_guard<std::mutex> lock(d_->mutex);
    device.setPortName(d_->port);
    return device.setParity(toQtParity(d_->parity)) && device.setStopBits(toQtStopBits(d_->stopBits))
        && device.setBaudRate(d_->baudRate, QSerialPort::AllDirections) && device.open(QIODevice::ReadWrite);
}

void SerialPortImpl::onFinished()
{
    d_->open = false;
    stream_.close();
    line_.release();
    d_->device->close();
    QObject::disconnect(d_->device.get(), &QSerialPort::readyRead, this, &SerialPortImpl::dataPending);
    QObject::disconnect(d_->device.get(), &QSerialPort::errorOccurred, this, &SerialPortImpl::deviceError);
    emit portClosedSignal();
}

bool SerialPortImpl::open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits)
{
    checkLineSettings(parity, stopBits);
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (thread_ && thread_->isRunning())
        return false;
    thread_.reset();
    {
        std::lock_guard<std::mutex> settingsLock(d_->mutex);
        d_->port = port;
        d_->baudRate = baudRate;
        d_->parity = parity;
        d_->stopBits = stopBits;
    }
    const QString name = QString("SerialPort(%1)Thread").arg(port);
    thread_ = startThreadOnce(name, std::make_unique<RunnableProxy>(this));
    return thread_ != nullptr;
}

bool SerialPortImpl::close()
{
    std::unique_ptr<Thread> thread;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        thread.swap(thread_);
    }
    return true;
}

bool SerialPortImpl::isOpen() const
{
    return d_->open;
}

QString SerialPortImpl::getPort() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->port;
}

BaudRate SerialPortImpl::getBaudRate() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->baudRate;
}

Parity SerialPortImpl::getParity() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->parity;
}

StopBits SerialPortImpl::getStopBits() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->stopBits;
}

std::shared_ptr<InputStream> SerialPortImpl::getInputStream() const
{
    return std::const_pointer_cast<SerialPortImpl>(shared_from_this());
}

std::shared_ptr<OutputStream> SerialPortImpl::getOutputStream() const
{
    return std::const_pointer_cast<SerialPortImpl>(shared_from_this());
}

int SerialPortImpl::read(QByteArray& data)
{
    return stream_.read(data);
}

bool SerialPortImpl::write(const unsigned char* data, int size)
{
    return stream_.write(data, size);
}

bool SerialPortImpl::lineHungUp() const
{
    pollfd line{static_cast<int>(d_->device->handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void SerialPortImpl::dataPending()
{
    emit dataPendingSignal();
}

// An unplugged adapter ends the port's thread; other line errors change
// nothing. A line that has hung up (a pseudo-terminal whose master has gone)
// reads as end of file, which the serial-port library reports as a read error.
void SerialPortImpl::deviceError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && !(error == QSerialPort::ReadError && lineHungUp()))
        return;
    if (!d_->open.exchange(false))
        return;
    qDebug() << "Serialport disappeared: " << error;
    stop();
}

} // namespace vorsam
