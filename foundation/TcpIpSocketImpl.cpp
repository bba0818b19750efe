#include "foundation/TcpIpSocketImpl.h"

#include "foundation/KeepAlive.h"
#include "foundation/RunnableProxy.h"
#include "foundation/Thread.h"

#include <QDebug>
#include <QHostAddress>
#include <QTcpSocket>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorsam {

namespace {

// How long a closing socket may take to send what it still holds before
// it is cut off; its disconnection is reported either way.
const int LingerMilliseconds = 500;

} // namespace

// State shared between the owner's thread and the socket's thread. The
// connection state is a copy kept by the socket's thread, so other threads
// never touch the QTcpSocket itself, nor its descriptor: closed on that
// thread, a descriptor's number may be reused at any moment.
class TcpIpSocketImpl::Impl {
public:
    mutable std::mutex mutex;
    QString address;
    unsigned short port = 0;
    std::atomic<bool> keepAlive{false};
    std::shared_ptr<QTcpSocket> socket;
    std::atomic<bool> connected{false};
};

std::shared_ptr<TcpIpSocketImpl> TcpIpSocketImpl::make()
{
    return std::shared_ptr<TcpIpSocketImpl>(new TcpIpSocketImpl());
}

std::shared_ptr<TcpIpSocketImpl> TcpIpSocketImpl::make(QTcpSocket* socket)
{
    std::unique_ptr<QTcpSocket> accepted(socket);
    auto wrapper = std::shared_ptr<TcpIpSocketImpl>(new TcpIpSocketImpl(accepted.get()));
    accepted.release();
    return wrapper;
}

std::shared_ptr<TcpIpSocket> makeTcpIpSocket()
{
    return TcpIpSocketImpl::make();
}

TcpIpSocketImpl::TcpIpSocketImpl()
    : d_(std::make_shared<Impl>())
    , stream_([d = d_.get()]() -> QIODevice* { return d->socket.get(); })
{
}

TcpIpSocketImpl::TcpIpSocketImpl(QTcpSocket* socket)
    : TcpIpSocketImpl()
{
    d_->address = socket->peerAddress().toString();
    d_->port = socket->peerPort();
    socket->setParent(this);
    d_->socket.reset(socket);
}

TcpIpSocketImpl::~TcpIpSocketImpl()
{
    disconnect();
}

void TcpIpSocketImpl::startTask()
{
    if (!d_->socket)
        d_->socket = std::make_shared<QTcpSocket>(this);
    stream_.open();
    control_.open();
    connectSocketSignals();
    QTcpSocket& socket = *d_->socket;
    if (socket.state() == QAbstractSocket::ConnectedState) {
        markConnected();
        // Bytes may have arrived before readyRead was connected.
        if (socket.bytesAvailable() > 0)
            emit dataPendingSignal(this);
    } else if (socket.state() == QAbstractSocket::UnconnectedState) {
        QString address;
        unsigned short port = 0;
        {
            std::lock_guard<std::mutex> lock(d_->mutex);
            address = d_->address;
            port = d_->port;
        }
        socket.connectToHost(address, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    }
}

void TcpIpSocketImpl::onFinished()
{
    closeSocket();
    control_.close();
    // No writer waits for this thread from here on.
    stream_.close();
    closeSendDescriptor();
    QTcpSocket* socket = d_->socket.get();
    QObject::disconnect(socket, &QTcpSocket::readyRead, this, &TcpIpSocketImpl::dataPending);
    QObject::disconnect(socket, &QTcpSocket::connected, this, &TcpIpSocketImpl::connected);
    QObject::disconnect(socket, &QTcpSocket::disconnected, this, &TcpIpSocketImpl::disconnected);
    d_->connected = false;
}

void TcpIpSocketImpl::connectSocketSignals()
{
    QTcpSocket* socket = d_->socket.get();
    QObject::connect(socket, &QTcpSocket::readyRead, this, &TcpIpSocketImpl::dataPending);
    QObject::connect(socket, &QTcpSocket::connected, this, &TcpIpSocketImpl::connected);
    QObject::connect(socket, &QTcpSocket::disconnected, this, &TcpIpSocketImpl::disconnected);
}

// The event loop has ended, so a close that waits for unsent bytes would never
// complete on its own: give it a short while, then cut it off. Either way the
// disconnection is reported.
void TcpIpSocketImpl::closeSocket()
{
    QTcpSocket& socket = *d_->socket;
    socket.disconnectFromHost();
    if (socket.state() == QAbstractSocket::ClosingState)
        socket.waitForDisconnected(LingerMilliseconds);
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.abort();
}

bool TcpIpSocketImpl::connect(QString address, unsigned short port)
{
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (thread_)
        return false;
    {
        std::lock_guard<std::mutex> stateLock(d_->mutex);
        d_->address = address;
        d_->port = port;
    }
    return startThread();
}

// An accepted socket is connected already: its send duplicate is made here,
// so that what the connection costs is open by the time start returns.
bool TcpIpSocketImpl::start()
{
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (thread_)
        return false;
    if (d_->socket && d_->socket->state() == QAbstractSocket::ConnectedState)
        openSendDescriptor();
    if (startThread())
        return true;
    closeSendDescriptor();
    return false;
}

bool TcpIpSocketImpl::startThread()
{
    const QString name = QString("TcpIpSocket(%1:%2)Thread").arg(getAddress()).arg(getPort());
    thread_ = startThreadOnce(name, std::make_unique<RunnableProxy>(this));
    return thread_ != nullptr;
}

bool TcpIpSocketImpl::disconnect()
{
    std::shared_ptr<Thread> thread;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        thread.swap(thread_);
    }
    return thread != nullptr;
}

bool TcpIpSocketImpl::isConnected() const
{
    return d_->connected;
}

unsigned short TcpIpSocketImpl::getPort() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->port;
}

QString TcpIpSocketImpl::getAddress() const
{
    std::lock_guard<std::mutex> lock(d_->mutex);
    return d_->address;
}

// The options are set on the socket's thread; without it running, the
// socket is not connected and the flag takes effect once it is.
bool TcpIpSocketImpl::setKeepAliveEnabled(bool enabled)
{
    if (d_->keepAlive.exchange(enabled) == enabled)
        return true;
    return control_.call<bool>([this, enabled] { return switchKeepAlive(enabled); }, true);
}

bool TcpIpSocketImpl::switchKeepAlive(bool enabled)
{
    if (!isConnected())
        return true;
    if (!enabled) {
        qDebug() << "Failed to disable keep alive values";
        return false;
    }
    if (!setKeepAliveValues(static_cast<int>(d_->socket->socketDescriptor()))) {
        qDebug() << "Failed to set keep alive values";
        return false;
    }
    return true;
}

bool TcpIpSocketImpl::isKeepAliveEnabled() const
{
    return d_->keepAlive;
}

std::shared_ptr<InputStream> TcpIpSocketImpl::getInputStream() const
{
    return std::const_pointer_cast<TcpIpSocketImpl>(shared_from_this());
}

std::shared_ptr<OutputStream> TcpIpSocketImpl::getOutputStream() const
{
    return std::const_pointer_cast<TcpIpSocketImpl>(shared_from_this());
}

int TcpIpSocketImpl::read(QByteArray& data)
{
    return stream_.read(data);
}

bool TcpIpSocketImpl::write(const unsigned char* data, int size)
{
    if (size < 0 || (!data && size > 0))
        return false;
    std::lock_guard<std::mutex> lock(writeMutex_);
    const int descriptor = sendDescriptor_;
    if (descriptor >= 0 && !writesQueued_)
        return sendDirectly(descriptor, data, size);
    return queue(data, size);
}

bool TcpIpSocketImpl::queue(const unsigned char* data, int size)
{
    const bool queued = stream_.writeLater(data, size);
    writesQueued_ = writesQueued_ || queued;
    return queued;
}

bool TcpIpSocketImpl::writesWithoutWaiting() const
{
    return true;
}

// What the kernel does not take at once waits in the socket's buffer.
bool TcpIpSocketImpl::sendDirectly(int descriptor, const unsigned char* data, int size)
{
    int sent = 0;
    while (sent < size) {
        const ssize_t taken = ::send(descriptor, data + sent, size_t(size - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (taken > 0) {
            sent += int(taken);
        } else if (taken < 0 && errno == EINTR) {
            continue;
        } else if (taken < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return queue(data + sent, size - sent);
        } else {
            return false;
        }
    }
    return true;
}

void TcpIpSocketImpl::openSendDescriptor()
{
    if (sendDescriptor_ >= 0)
        return;
    const int descriptor = int(d_->socket->socketDescriptor());
    socketHeld_.hold(descriptor);
    sendDescriptor_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    duplicateHeld_.hold(sendDescriptor_);
}

void TcpIpSocketImpl::closeSendDescriptor()
{
    std::lock_guard<std::mutex> lock(writeMutex_);
    const int descriptor = sendDescriptor_.exchange(-1);
    duplicateHeld_.release();
    // Qt has closed the socket's own descriptor by now.
    socketHeld_.release();
    if (descriptor >= 0)
        ::close(descriptor);
    // A socket that connects again starts without a queue.
    writesQueued_ = false;
}

void TcpIpSocketImpl::applyKeepAlive()
{
    if (d_->keepAlive && isConnected() && !setKeepAliveValues(static_cast<int>(d_->socket->socketDescriptor())))
        qDebug() << "Failed to set keep alive values";
}

void TcpIpSocketImpl::markConnected()
{
    d_->connected = true;
    openSendDescriptor();
    applyKeepAlive();
}

void TcpIpSocketImpl::connected()
{
    markConnected();
    emit connectedSignal(this);
}

void TcpIpSocketImpl::disconnected()
{
    d_->connected = false;
    // The duplicate keeps the connection open: end it for the terminal too.
    const int descriptor = sendDescriptor_;
    if (descriptor >= 0)
        ::shutdown(descriptor, SHUT_RDWR);
    emit disconnectedSignal(this);
}

void TcpIpSocketImpl::dataPending()
{
    emit dataPendingSignal(this);
}

} // namespace vorsam
