#include "foundation/TcpIpServerImpl.h"

#include "foundation/ConnectionBudget.h"
#include "foundation/ListenerList.h"
#include "foundation/ParentOnlyDescriptor.h"
#include "foundation/ProcessExit.h"
#include "foundation/RateLimitedWarning.h"
#include "foundation/Runnable.h"
#include "foundation/TcpIpSocketImpl.h"
#include "foundation/Thread.h"
#include "foundation/ThreadCaller.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <future>
#include <mutex>
#include <unordered_map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorsam {

// State shared by the caller's side, the server thread and the sockets'
// threads, so the listener list and the connections are kept under locks.
class TcpIpServerImpl::Impl {
public:
    using Connections = std::unordered_map<const TcpIpSocket*, std::shared_ptr<TcpIpSocket>>;

    QHostAddress address;
    unsigned short port = 0;
    std::shared_ptr<QTcpServer> server;
    ListenerList<TcpIpServerListener> listeners;

    void addConnection(std::shared_ptr<TcpIpSocket> socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace(socket.get(), socket);
    }

    std::shared_ptr<TcpIpSocket> findConnection(const TcpIpSocket* socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = connections_.find(socket);
        return found == connections_.end() ? nullptr : found->second;
    }

    void removeConnection(const TcpIpSocket* socket)
    {
        std::shared_ptr<TcpIpSocket> removed;
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = connections_.find(socket);
        if (found == connections_.end())
            return;
        removed = std::move(found->second);
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
    std::mutex mutex_;
    Connections connections_;
};

namespace {

using SocketEvent = void (TcpIpServerListener::*)(std::weak_ptr<TcpIpSocket>);

// A burst of a thousand terminals connecting at once is accepted at the
// first try; the kernel caps it at its own maximum.
const int ListenBacklog = 1024;

// A server that failed to accept, for want of a descriptor say, tries again
// after this long.
const int AcceptRetryMilliseconds = 100;

// Accepts one connection from itself on loopback; false when it cannot.
bool acceptOnceFromItself()
{
    QTcpServer loopback;
    loopback.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    const int dialler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool accepted = false;
    if (dialler >= 0 && loopback.listen(QHostAddress::LocalHost, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(loopback.serverPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        accepted = ::connect(dialler, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && loopback.waitForNewConnection(1000);
    }
    if (accepted)
        delete loopback.nextPendingConnection();
    if (dialler >= 0)
        ::close(dialler);
    return accepted;
}

// On a thread of its own, whose end waits for it.
class AcceptOnceFromItself : public Runnable {
public:
    explicit AcceptOnceFromItself(std::atomic<bool>& accepted)
        : accepted_(accepted)
    {
    }
    void startTask() override { accepted_ = acceptOnceFromItself(); }

private:
    std::atomic<bool>& accepted_;
};

// Process-wide, as the limits they report on are; never destroyed, as a
// server may still run while the process exits.
struct ServerWarnings {
    RateLimitedWarning refusal{std::chrono::minutes(1)};
    RateLimitedWarning acceptFailure{std::chrono::minutes(1)};
};

ServerWarnings& serverWarnings()
{
    static ServerWarnings* const warnings = new ServerWarnings;
    return *warnings;
}

// Once the exit has begun a connection is closed as it comes, before Qt
// builds a socket for it from statics the exit may have destroyed already.
class ExitAwareTcpServer : public QTcpServer {
protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!ProcessExit::begun()) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        pauseAccepting();
        ::close(static_cast<int>(descriptor));
    }
};

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
        impl_->server = std::make_shared<ExitAwareTcpServer>();
        impl_->server->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        QObject::connect(impl_->server.get(), &QTcpServer::newConnection, this, &TcpIpServerRunnable::newConnection);
        retryAccepting_ = std::make_unique<QTimer>();
        retryAccepting_->setSingleShot(true);
        retryAccepting_->setInterval(AcceptRetryMilliseconds);
        QObject::connect(retryAccepting_.get(), &QTimer::timeout, impl_->server.get(), &QTcpServer::resumeAccepting);
        QObject::connect(impl_->server.get(), &QTcpServer::acceptError, this, &TcpIpServerRunnable::acceptFailed);
        const bool listening = impl_->server->listen(impl_->address, impl_->port);
        if (listening)
            listening_.hold(static_cast<int>(impl_->server->socketDescriptor()));
        if (!listening)
            qDebug() << "Cannot listen on port" << impl_->port << impl_->server->errorString();
        else if (::listen(static_cast<int>(impl_->server->socketDescriptor()), ListenBacklog) != 0)
            qDebug() << "Cannot widen the listen backlog of port" << impl_->port;
        bound_.set_value(listening);
    }

    void onFinished() override
    {
        caller_->close();
        retryAccepting_.reset();
        listening_.release();
        impl_->server->close();
        QObject::disconnect(impl_->server.get(), &QTcpServer::newConnection, this,
                            &TcpIpServerRunnable::newConnection);
        QObject::disconnect(impl_->server.get(), &QTcpServer::acceptError, this, &TcpIpServerRunnable::acceptFailed);
    }

private:
    void newConnection()
    {
        while (impl_->server->hasPendingConnections()) {
            QTcpSocket* accepted = impl_->server->nextPendingConnection();
            if (!accepted)
                continue;
            ProcessExit::firstUseDone(ProcessExit::FirstUse::Accepting);
            if (ProcessExit::begun())
                closeAsTheExitBegins(accepted);
            else if (ConnectionBudget::instance().take())
                accept(budgeted(accepted));
            else
                refuse(accepted);
        }
    }

    // The connection's share goes back once its socket, the last of what
    // it costs, is gone.
    static std::shared_ptr<TcpIpSocketImpl> budgeted(QTcpSocket* accepted)
    {
        std::shared_ptr<TcpIpSocketImpl> socket = TcpIpSocketImpl::make(accepted);
        QObject::connect(socket.get(), &QObject::destroyed, [] { ConnectionBudget::instance().giveBack(); });
        return socket;
    }

    // Accepted just before the exit began: not set up any more.
    static void closeAsTheExitBegins(QTcpSocket* accepted)
    {
        accepted->abort();
        delete accepted;
    }

    // Without room for another thread or descriptor the process would abort:
    // the connection is closed before it costs anything more.
    void refuse(QTcpSocket* accepted)
    {
        accepted->abort();
        delete accepted;
        serverWarnings().refusal.report(QString("TCP server on port %1 closed new connections at once: the "
                                                "process's descriptor or thread limit leaves no room for more")
                                            .arg(impl_->port));
    }

    // After a failed accept the server accepts nothing more until told to.
    void acceptFailed()
    {
        const QString failure = impl_->server->errorString();
        serverWarnings().acceptFailure.report(QString("TCP server on port %1 cannot accept new connections (%2); "
                                                      "it tries again in %3 ms")
                                                  .arg(impl_->port)
                                                  .arg(failure)
                                                  .arg(AcceptRetryMilliseconds));
        retryAccepting_->start();
    }

    // The socket's signals are hooked up before its thread starts, so not
    // even the first bytes of a terminal go unreported. Its data is handled
    // on its own thread, where it is read; this thread hears of its ends.
    void accept(const std::shared_ptr<TcpIpSocketImpl>& socket)
    {
        relay(socket.get(), &TcpIpSocketImpl::connectedSignal, &TcpIpServerListener::onConnect, false);
        relay(socket.get(), &TcpIpSocketImpl::disconnectedSignal, &TcpIpServerListener::onDisconnect, true);
        reportDataOnSocketThread(socket.get());
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

    // The socket's thread stops before the socket is destroyed, so the
    // signal never carries a dangling pointer; the listeners see the socket
    // while it is in the connection list.
    void reportDataOnSocketThread(TcpIpSocketImpl* socket)
    {
        // Weak: the connection lives as long as the socket, which the server
        // and its listeners hold; a strong capture would keep both alive.
        const std::weak_ptr<TcpIpServerImpl::Impl> weakImpl = impl_;
        QObject::connect(
            socket, &TcpIpSocketImpl::dataPendingSignal, socket,
            [weakImpl](TcpIpSocketImpl* source) {
                const std::shared_ptr<TcpIpServerImpl::Impl> impl = weakImpl.lock();
                if (!impl)
                    return;
                if (const std::shared_ptr<TcpIpSocket> listed = impl->findConnection(source))
                    impl->listeners.notify(&TcpIpServerListener::onDataPending, listed, "TCP server listener failed:");
            },
            Qt::DirectConnection);
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
    std::unique_ptr<QTimer> retryAccepting_;
    ParentOnlyDescriptor listening_;
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

bool buildAcceptingStatics()
{
    std::atomic<bool> accepted{false};
    startThreadOnce(QStringLiteral("AcceptOnce"), std::make_unique<AcceptOnceFromItself>(accepted));
    return accepted;
}

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
    // A socket's thread may be reporting its data right now, holding the
    // socket: ended first, it is never left the last owner, which would wait
    // for itself as it destroys the socket.
    for (const auto& connection : impl_->takeConnections())
        connection.second->disconnect();
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
