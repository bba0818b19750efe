#pragma once

#include "foundation/DeviceStream.h"
#include "foundation/InputStream.h"
#include "foundation/ParentOnlyDescriptor.h"
#include "foundation/OutputStream.h"
#include "foundation/Runnable.h"
#include "foundation/TcpIpSocket.h"
#include "foundation/ThreadCaller.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QTcpSocket;

namespace vorsam {

class Thread;

// A TCP socket on a thread of its own; connecting, or wrapping an accepted
// connection. Its connected, disconnected and data-pending signals are
// emitted on its thread and carry the socket itself. Writes never wait: they
// are sent on the writer's thread while the kernel takes the bytes at once,
// and from then on queue for the socket's thread.
class TcpIpSocketImpl : public Runnable,
                        public TcpIpSocket,
                        public InputStream,
                        public OutputStream,
                        public std::enable_shared_from_this<TcpIpSocketImpl> {
    Q_OBJECT
public:
    static std::shared_ptr<TcpIpSocketImpl> make();
    // Wraps an accepted connection; its thread starts with start(), so the
    // owner can connect to its signals before the first bytes are reported.
    static std::shared_ptr<TcpIpSocketImpl> make(QTcpSocket* socket);

    ~TcpIpSocketImpl() override;

    void startTask() override;
    void onFinished() override;

    bool connect(QString address, unsigned short port) override;
    bool disconnect() override;
    bool isConnected() const override;
    unsigned short getPort() const override;
    QString getAddress() const override;
    bool setKeepAliveEnabled(bool enabled) override;
    bool isKeepAliveEnabled() const override;
    std::shared_ptr<InputStream> getInputStream() const override;
    std::shared_ptr<OutputStream> getOutputStream() const override;

    int read(QByteArray& data) override;
    bool write(const unsigned char* data, int size) override;
    bool writesWithoutWaiting() const override;

    // Starts the thread of an accepted socket; false when it has one already.
    bool start();

signals:
    void dataPendingSignal(TcpIpSocketImpl* socket);
    void connectedSignal(TcpIpSocketImpl* socket);
    void disconnectedSignal(TcpIpSocketImpl* socket);

private slots:
    void connected();
    void disconnected();
    void dataPending();

private:
    class Impl;

    TcpIpSocketImpl();
    explicit TcpIpSocketImpl(QTcpSocket* socket);

    bool startThread();
    void applyKeepAlive();
    bool switchKeepAlive(bool enabled);
    void connectSocketSignals();
    void closeSocket();
    // Connected: the duplicate for writes from any thread and the keep-alive.
    void markConnected();
    void openSendDescriptor();
    void closeSendDescriptor();
    bool sendDirectly(int descriptor, const unsigned char* data, int size);
    // Hands the bytes to the socket's thread; later writes queue behind them.
    bool queue(const unsigned char* data, int size);

    std::shared_ptr<Impl> d_;
    DeviceStream stream_;
    ThreadCaller control_;
    std::mutex threadMutex_;
    std::shared_ptr<Thread> thread_;

    // Serialises writers, so that messages never interleave.
    std::mutex writeMutex_;
    // A duplicate of the connected socket's descriptor, opened and closed on
    // the socket's thread, closed under writeMutex_: the socket's own
    // descriptor may be closed there and its number reused at any moment.
    std::atomic<int> sendDescriptor_{-1};
    // Once bytes wait in the socket's buffer, later ones queue behind them.
    bool writesQueued_ = false;
    // While connected, the socket's descriptor and its duplicate.
    ParentOnlyDescriptor socketHeld_;
    ParentOnlyDescriptor duplicateHeld_;
};

} // namespace vorsam
