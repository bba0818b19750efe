#include "foundation/ConnectionBudget.h"
#include "foundation/TcpIpServer.h"
#include "foundation/TcpIpServerListener.h"
#include "foundation/TcpIpSocket.h"

#include "simterminal/SimTerminal.h"
#include "tests/support/ClosedByPeer.h"
#include "tests/support/LoweredLimits.h"
#include "tests/support/GateTcpListener.h"
#include "tests/support/ProcessThreads.h"
#include "tests/support/Wait.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using testsupport::waitUntil;

namespace {
std::mutex keepAliveMutex;
QString keepAliveThread;
} // namespace

// Notes which thread sets keep-alive probes, then sets them.
extern "C" int setsockopt(int descriptor, int level, int name, const void* value, socklen_t length)
{
    using SetOption = int (*)(int, int, int, const void*, socklen_t);
    static const auto next = reinterpret_cast<SetOption>(dlsym(RTLD_NEXT, "setsockopt"));
    if (level == IPPROTO_TCP && name == TCP_KEEPCNT) {
        std::lock_guard<std::mutex> lock(keepAliveMutex);
        keepAliveThread = QThread::currentThread()->objectName();
    }
    return next(descriptor, level, name, value, length);
}

namespace {

// Counts what a server reports and reads each socket's pending bytes as the
// server announces them.
class RecordingTcpListener : public vorsam::TcpIpServerListener {
public:
    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        last_ = socket;
    }
    void onDisconnect(std::weak_ptr<vorsam::TcpIpSocket>) override { ++closes; }
    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket) override
    {
        QByteArray bytes;
        if (const auto held = socket.lock())
            held->getInputStream()->read(bytes);
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(bytes);
    }

    std::weak_ptr<vorsam::TcpIpSocket> lastSocket() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }
    bool received(const QByteArray& bytes) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.contains(bytes);
    }

    std::atomic<int> closes{0};

private:
    mutable std::mutex mutex_;
    std::weak_ptr<vorsam::TcpIpSocket> last_;
    QByteArray received_;
};

// The far end is a Qt socket used blocking, so the test thread needs no event loop.
int deadline()
{
    return static_cast<int>(testsupport::scaled(std::chrono::milliseconds(20000)).count());
}

bool connectTo(QTcpSocket& peer, quint16 port)
{
    peer.connectToHost(QHostAddress::LocalHost, port);
    return peer.waitForConnected(deadline());
}

bool sawClose(QTcpSocket& peer)
{
    return peer.state() == QAbstractSocket::UnconnectedState || peer.waitForDisconnected(deadline());
}

// A server listening on a loopback port the system chose.
class TcpServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server->registerListener(listener);
        port = testsupport::SimTerminal::freeLoopbackPort();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(server->listen("127.0.0.1", port));
    }

    std::unique_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    std::shared_ptr<RecordingTcpListener> listener = std::make_shared<RecordingTcpListener>();
    quint16 port = 0;
};

// A server with one accepted connection from a plain peer.
class AcceptedSocket : public TcpServer {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TcpServer::SetUp());
        ASSERT_TRUE(connectTo(peer, port));
        ASSERT_TRUE(waitUntil([&] { return (socket = listener->lastSocket().lock()) != nullptr; }));
        ASSERT_TRUE(waitUntil([&] { return socket->isConnected(); }));
    }

    QTcpSocket peer;
    std::shared_ptr<vorsam::TcpIpSocket> socket;
};

} // namespace

// The socket's signals must be hooked up before its thread starts: a
// terminal that sends right after connecting is always heard.
TEST_F(TcpServer, ReportsTheFirstBytesSentRightAfterConnecting)
{
    for (int i = 0; i < 20 && !HasFailure(); ++i) {
        QTcpSocket peer;
        ASSERT_TRUE(connectTo(peer, port));
        const QByteArray hello = "hello-" + QByteArray::number(i) + ";";
        ASSERT_EQ(peer.write(hello), hello.size());
        ASSERT_TRUE(peer.waitForBytesWritten(deadline()));
        EXPECT_TRUE(waitUntil([&] { return listener->received(hello); })) << i;
    }
}

// A closed connection gives its share of the process's limits back: under a
// low descriptor limit, one connection after the other, one more than the
// share is taken.
TEST_F(TcpServer, TakesConnectionsAgainOnceClosedOnesAreGone)
{
    const testsupport::DescriptorsLeft left(128, 128);
    using vorsam::ConnectionBudget;
    const std::uint64_t rounds = ConnectionBudget::affordable(ConnectionBudget::processLimits()) + 1;
    ASSERT_LT(rounds, 20u);
    for (std::uint64_t round = 0; round < rounds; ++round) {
        const int peer = testsupport::SimTerminal::loopbackConnection(port);
        ASSERT_GE(peer, 0);
        std::shared_ptr<vorsam::TcpIpSocket> accepted;
        waitUntil([&] {
            accepted = listener->lastSocket().lock();
            return accepted != nullptr || testsupport::closedByPeer(peer);
        });
        ::close(peer);
        ASSERT_NE(accepted, nullptr) << "round " << round;
        const std::weak_ptr<vorsam::TcpIpSocket> gone = accepted;
        accepted.reset();
        ASSERT_TRUE(waitUntil([&] { return gone.expired(); })) << "round " << round;
    }
}

// Only the socket's thread may use its descriptor: elsewhere it may be
// closed, and its number reused, at any moment.
TEST_F(AcceptedSocket, SetsKeepAliveOnItsOwnThread)
{
    ASSERT_TRUE(socket->setKeepAliveEnabled(true));
    std::lock_guard<std::mutex> lock(keepAliveMutex);
    EXPECT_TRUE(keepAliveThread.startsWith("TcpIpSocket(")) << keepAliveThread.toStdString();
}

// Closing waits only briefly for bytes the peer does not take; the
// disconnection is reported all the same.
TEST_F(AcceptedSocket, DisconnectionWithUnsentBytesIsStillReported)
{
    const std::vector<unsigned char> chunk(1 << 20, 'x');
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(socket->getOutputStream()->write(chunk.data(), static_cast<int>(chunk.size())));
    EXPECT_TRUE(socket->disconnect());
    EXPECT_TRUE(waitUntil([&] { return listener->closes == 1; }));
    EXPECT_TRUE(sawClose(peer));
}

// Bytes the kernel cannot take at once queue behind those it took.
TEST_F(AcceptedSocket, WritesBeyondWhatTheKernelTakesArriveInOrder)
{
    QByteArray sent;
    for (char mark = 'a'; mark < 'a' + 24; ++mark) {
        const QByteArray chunk(1 << 20, mark);
        ASSERT_TRUE(socket->getOutputStream()->write(reinterpret_cast<const unsigned char*>(chunk.constData()),
                                                     chunk.size()));
        sent += chunk;
    }
    QByteArray received;
    while (received.size() < sent.size() && peer.waitForReadyRead(deadline()))
        received += peer.readAll();
    EXPECT_TRUE(received == sent);
}

// A reader on another thread is never left waiting for a socket thread
// that has ended.
TEST_F(AcceptedSocket, ReadsAndWritesRacingADisconnectReturn)
{
    std::atomic<bool> going{true};
    std::atomic<int> rounds{0};
    auto input = socket->getInputStream();
    auto output = socket->getOutputStream();
    std::thread reader([&] {
        const unsigned char byte = 1;
        while (going) {
            QByteArray data;
            input->read(data);
            output->write(&byte, 1);
            ++rounds;
        }
    });
    EXPECT_TRUE(waitUntil([&] { return rounds > 10; }));
    EXPECT_TRUE(socket->disconnect());
    const int afterDisconnect = rounds;
    EXPECT_TRUE(waitUntil([&] { return rounds > afterDisconnect + 10; }));
    going = false;
    reader.join();
    QByteArray data;
    EXPECT_EQ(input->read(data), 0);
}

// The server holds a socket while its data is reported on the socket's own
// thread; stopped meanwhile, it must not leave that thread the last owner,
// which would wait for itself as it destroys the socket.
TEST_F(TcpServer, StoppingWhileDataIsReportedClosesTheConnectionAndEndsItsThread)
{
    const auto gate = std::make_shared<testsupport::GateTcpListener>();
    server->registerListener(gate);
    gate->shut();
    const int socketThreadsBefore = testsupport::threadsNamed("TcpIpSocket");
    QTcpSocket peer;
    ASSERT_TRUE(connectTo(peer, port));
    ASSERT_EQ(peer.write("x"), 1);
    ASSERT_TRUE(peer.waitForBytesWritten(deadline()));
    ASSERT_TRUE(gate->waitUntilHolding());

    // The stopping thread owns the server, so that a stop that never returns
    // fails the test rather than hanging it.
    const auto stopped = std::make_shared<std::atomic<bool>>(false);
    std::thread stopper([stopping = std::move(server), stopped] {
        stopping->stopListening();
        *stopped = true;
    });
    // Once the server's thread has ended the server lets go of its sockets.
    EXPECT_TRUE(waitUntil([] { return testsupport::threadsNamed("TcpServer(") == 0; }));
    gate->open();
    const bool stoppedInTime = waitUntil([&] { return stopped->load(); });
    EXPECT_TRUE(stoppedInTime);
    EXPECT_TRUE(sawClose(peer));
    EXPECT_TRUE(waitUntil([&] { return testsupport::threadsNamed("TcpIpSocket") <= socketThreadsBefore; }));
    if (stoppedInTime)
        stopper.join();
    else
        stopper.detach();
}
