#include "foundation/TcpIpServerImpl.h"

#include "foundation/ListenerList.h"
#include "foundation/Runnable.h"
#include "foundation/TcpIpSocketImpl.h"
#include "foundation/Thread.h"
#include "foundation/ThreadCaller.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <future>
#include <list>
#include <mutex>

namespace vorsam {

// State shared by the caller's side and the server thread. The listener and
// connection lists are reached from both, so they are kept under locks.
class TcpIpServerImpl::Impl {
public:
    using Connections = std::list<std::shared_ptr<TcpIpSocket>>;

    QHostAddress address;
    unsigned short port = 0;
    std::shared_ptr<QTcpServer> server;
    ListenerList<TcpIpServerListener> listeners;

    void addConnection(std::shared_ptr<TcpIpSocket> socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.push_back(std::move(socket));
    }

    std::shared_ptr<TcpIpSocket> findConnection(const TcpIpSocket* socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = findIn(socket);
        return found == connections_.end() ? nullptr : *found;
    }

    void removeConnection(const TcpIpSocket* socket)
    {
        std::shared_ptr<TcpIpSocket> removed;
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = findIn(socket);
        if (found == connections_.end())
            return;
        removed = *found;
        connections_.erase(found);
    }

    // The caller releases them, outside the lock.
    Connections takeConnections()
    {
        Connections taken;
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(connections_);
        return taken;
    }

private:
    Connections::iterator findIn(const TcpIpSocket* socket)
    {
        return std::find_if(connections_.begin(), connections_.end(),
                            [socket](const std::shared_ptr<TcpIpSocket>& entry) { return entry.get() == socket; });
    }

    std::mutex mutex_;
    Connections connections_;
};

namespace {

using SocketEvent = void (TcpIpServerListener::*)(std::weak_ptr<TcpIpSocket>);

// The server's task object; everything here runs on the server thread.
class TcpIpServerRunnable : public Runnable {
public:
    TcpIpServerRunnable(std::shared_ptr<TcpIpServerImpl::Impl> impl, std::promise<bool> bound)
        : impl_(std::move(impl))
        , bound_(std::move(bound))
        , caller_(std::make_shared<ThreadCaller>())
    {
    }

    void startTask() override
    {
        caller_->open();
        impl_->server = std::make_shared<QTcpServer>();
        impl_->server->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        QObject::connect(impl_->server.get(), &QTcpServer::newConnection, this, &TcpIpServerRunnable::newConnection);
        const bool listening = impl_->server->listen(impl_->address, impl_->port);
        if (!listening)
            qDebug() << "Cannot listen on port" << impl_->port << impl_->server->errorString();
        bound_.set_value(listening);
    }

    void onFinished() override
    {
        caller_->close();
        impl_->server->close();
        QObject::disconnect(impl_->server.get(), &QTcpServer::newConnection, this,
                            &TcpIpServerRunnable::newConnection);
    }

private:
    void newConnection()
    {
        while (impl_->server->hasPendingConnections()) {
            QTcpSocket* accepted = impl_->server->nextPendingConnection();
            if (accepted)
                accept(TcpIpSocketImpl::make(accepted));
        }
    }

    // The socket's signals are hooked up before its thread starts, so not
    // even the first bytes of a terminal go unreported.
    void accept(const std::shared_ptr<TcpIpSocketImpl>& socket)
    {
        relay(socket.get(), &TcpIpSocketImpl::connectedSignal, &TcpIpServerListener::onConnect, false);
        relay(socket.get(), &TcpIpSocketImpl::disconnectedSignal, &TcpIpServerListener::onDisconnect, true);
        relay(socket.get(), &TcpIpSocketImpl::dataPendingSignal, &TcpIpServerListener::onDataPending, false);
        notify(socket, &TcpIpServerListener::onConnect);
        impl_->addConnection(socket);
        if (!socket->start()) {
            notify(socket, &TcpIpServerListener::onDisconnect);
            impl_->removeConnection(socket.get());
        }
    }

    // Socket signals come on the socket's thread; the handling moves to this
    // thread through the caller, which drops it once the server has stopped.
    // A socket that is being destroyed has left the connection list already.
    void relay(TcpIpSocketImpl* socket, void (TcpIpSocketImpl::*signal)(TcpIpSocketImpl*), SocketEvent event,
               bool removeAfterwards)
    {
        const std::shared_ptr<ThreadCaller> caller = caller_;
        TcpIpServerRunnable* const self = this;
        QObject::connect(socket, signal, [caller, self, event, removeAfterwards](TcpIpSocketImpl* source) {
            std::weak_ptr<TcpIpSocketImpl> weakSource = source->weak_from_this();
            caller->post([self, weakSource, event, removeAfterwards] {
                if (const auto alive = weakSource.lock())
                    self->socketEvent(alive.get(), event, removeAfterwards);
            });
        });
    }

    void socketEvent(const TcpIpSocket* source, SocketEvent event, bool removeAfterwards)
    {
        const std::shared_ptr<TcpIpSocket> socket = impl_->findConnection(source);
        if (!socket)
            return;
        notify(socket, event);
        if (removeAfterwards)
            impl_->removeConnection(source);
    }

    void notify(const std::shared_ptr<TcpIpSocket>& socket, SocketEvent event)
    {
        impl_->listeners.notify(event, socket, "TCP server listener failed:");
    }

    std::shared_ptr<TcpIpServerImpl::Impl> impl_;
    std::promise<bool> bound_;
    std::shared_ptr<ThreadCaller> caller_;
};

// A server thread that failed before binding leaves its promise unkept.
bool isBound(std::future<bool>& listening)
{
    try {
        return listening.get();
    } catch (const std::future_error&) {
        return false;
    }
}

} // namespace

std::unique_ptr<TcpIpServer> makeTcpIpServer()
{
    return std::make_unique<TcpIpServerImpl>();
}

TcpIpServerImpl::TcpIpServerImpl()
    : impl_(std::make_shared<Impl>())
{
}

TcpIpServerImpl::~TcpIpServerImpl()
{
    stopListening();
}

bool TcpIpServerImpl::listen(unsigned short port)
{
    return listen(QString(), port);
}

bool TcpIpServerImpl::listen(QString address, unsigned short port)
{
    if (thread_)
        return false;
    impl_->port = port;
    impl_->address = address.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(address);
    std::promise<bool> bound;
    std::future<bool> listening = bound.get_future();
    const QString name = QString("TcpServer(%1:%2)Thread").arg(address).arg(port);
    thread_ = startThreadOnce(name, std::make_unique<TcpIpServerRunnable>(impl_, std::move(bound)));
    if (!thread_)
        return false;
    if (isBound(listening))
        return true;
    thread_.reset();
    return false;
}

bool TcpIpServerImpl::isListening()
{
    return thread_ != nullptr;
}

bool TcpIpServerImpl::stopListening()
{
    if (!thread_)
        return false;
    thread_.reset();
    impl_->takeConnections();
    return true;
}

void TcpIpServerImpl::registerListener(std::shared_ptr<TcpIpServerListener> listener)
{
    impl_->listeners.add(std::move(listener));
}

void TcpIpServerImpl::unregisterListener(std::shared_ptr<TcpIpServerListener> listener)
{
    impl_->listeners.remove(listener);
}

} // namespace vorsam
