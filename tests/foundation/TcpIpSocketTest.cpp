#include "foundation/KeepAlive.h"
#include "foundation/TcpIpServer.h"
#include "foundation/TcpIpSocket.h"

#include "LoopbackPeer.h"
#include "RecordingTcpListener.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <netinet/tcp.h>

#include <atomic>
#include <thread>

using foundationtest::LoopbackListener;
using foundationtest::LoopbackPeer;
using foundationtest::RecordingTcpListener;
using testsupport::waitUntil;

namespace {

int option(int descriptor, int level, int name)
{
    int value = -1;
    socklen_t length = sizeof(value);
    getsockopt(descriptor, level, name, &value, &length);
    return value;
}

// A server with one accepted connection from a plain peer.
class AcceptedSocket : public ::testing::Test {
protected:
    void SetUp() override
    {
        server->registerListener(listener);
        const auto port = foundationtest::freePort();
        ASSERT_TRUE(server->listen("127.0.0.1", port));
        ASSERT_TRUE(peer.connectTo(port));
        ASSERT_TRUE(waitUntil([&] { return listener->socket(0) != nullptr; }));
        socket = listener->socket(0);
        ASSERT_TRUE(waitUntil([&] { return socket->isConnected(); }));
    }

    std::unique_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    std::shared_ptr<RecordingTcpListener> listener = std::make_shared<RecordingTcpListener>();
    LoopbackPeer peer;
    std::shared_ptr<vorsam::TcpIpSocket> socket;
};

} // namespace

TEST(TcpSocket, NewConnectingSocketHasNoConnectionYet)
{
    const auto socket = vorsam::makeTcpIpSocket();
    EXPECT_EQ(socket->getPort(), 0);
    EXPECT_EQ(socket->getAddress(), "");
    EXPECT_FALSE(socket->isConnected());
    QByteArray data("kept");
    EXPECT_EQ(socket->getInputStream()->read(data), 0);
    EXPECT_EQ(data, "kept");
    const unsigned char byte = 1;
    EXPECT_FALSE(socket->getOutputStream()->write(&byte, 1));
    EXPECT_FALSE(socket->disconnect());
}

// A socket whose connection has ended can connect again.
TEST(TcpSocket, ConnectsTalksDisconnectsAndConnectsAgain)
{
    LoopbackListener far;
    const auto socket = vorsam::makeTcpIpSocket();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(socket->connect("127.0.0.1", far.port())) << round;
        EXPECT_FALSE(socket->connect("127.0.0.1", foundationtest::freePort()));
        LoopbackPeer peer;
        ASSERT_TRUE(peer.acceptFrom(far.descriptor()));
        ASSERT_TRUE(waitUntil([&] { return socket->isConnected(); }));
        EXPECT_EQ(socket->getPort(), far.port());

        const QByteArray ping = "ping" + QByteArray::number(round);
        ASSERT_TRUE(socket->getOutputStream()->write(reinterpret_cast<const unsigned char*>(ping.constData()),
                                                     ping.size()));
        EXPECT_EQ(peer.receive(ping.size()), ping);
        ASSERT_TRUE(peer.send("pong"));
        QByteArray received("<");
        EXPECT_TRUE(waitUntil([&] {
            socket->getInputStream()->read(received);
            return received == "<pong";
        }));

        EXPECT_TRUE(socket->disconnect());
        EXPECT_FALSE(socket->isConnected());
        EXPECT_TRUE(peer.sawClose());
    }
}

TEST(TcpSocket, KeepAliveValuesAreSetOnTheDescriptor)
{
    LoopbackListener far;
    LoopbackPeer peer;
    ASSERT_TRUE(peer.connectTo(far.port()));
    ASSERT_TRUE(vorsam::setKeepAliveValues(peer.descriptor()));
    EXPECT_NE(option(peer.descriptor(), SOL_SOCKET, SO_KEEPALIVE), 0);
    EXPECT_EQ(option(peer.descriptor(), IPPROTO_TCP, TCP_KEEPCNT), 4);
    EXPECT_EQ(option(peer.descriptor(), IPPROTO_TCP, TCP_KEEPINTVL), 2);
    EXPECT_NE(option(peer.descriptor(), IPPROTO_TCP, TCP_NODELAY), 0);
    EXPECT_FALSE(vorsam::setKeepAliveValues(-1));
}

TEST(TcpSocket, KeepAliveMayBeSwitchedBeforeTheConnectionExists)
{
    const auto socket = vorsam::makeTcpIpSocket();
    EXPECT_TRUE(socket->setKeepAliveEnabled(true));
    EXPECT_TRUE(socket->setKeepAliveEnabled(true));
    EXPECT_TRUE(socket->isKeepAliveEnabled());
    EXPECT_TRUE(socket->setKeepAliveEnabled(false));
    EXPECT_FALSE(socket->isKeepAliveEnabled());
}

TEST_F(AcceptedSocket, KnowsItsPeerAndTalksThroughItsStreams)
{
    EXPECT_EQ(socket->getAddress(), "127.0.0.1");
    EXPECT_EQ(socket->getPort(), peer.localPort());
    const QByteArray reply = "reply";
    ASSERT_TRUE(socket->getOutputStream()->write(reinterpret_cast<const unsigned char*>(reply.constData()),
                                                 reply.size()));
    EXPECT_EQ(peer.receive(reply.size()), reply);
}

TEST_F(AcceptedSocket, KeepAliveCannotBeSwitchedOffOnceConnected)
{
    EXPECT_TRUE(socket->setKeepAliveEnabled(true));
    EXPECT_FALSE(socket->setKeepAliveEnabled(false));
    EXPECT_FALSE(socket->isKeepAliveEnabled());
}

TEST_F(AcceptedSocket, PeerClosingIsReportedAndWritesAreRefused)
{
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return listener->disconnects() == 1; }));
    EXPECT_FALSE(socket->isConnected());
    const unsigned char byte = 7;
    EXPECT_FALSE(socket->getOutputStream()->write(&byte, 1));
}

// Closing waits only briefly for bytes the peer does not take; the
// disconnection is reported all the same.
TEST_F(AcceptedSocket, DisconnectionWithUnsentBytesIsStillReported)
{
    const QByteArray chunk(1 << 20, 'x');
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(socket->getOutputStream()->write(reinterpret_cast<const unsigned char*>(chunk.constData()),
                                                     chunk.size()));
    EXPECT_TRUE(socket->disconnect());
    EXPECT_TRUE(waitUntil([&] { return listener->disconnects() == 1; }));
    EXPECT_TRUE(peer.sawClose());
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
    ASSERT_TRUE(waitUntil([&] { return rounds > 10; }));
    EXPECT_TRUE(socket->disconnect());
    const int afterDisconnect = rounds;
    EXPECT_TRUE(waitUntil([&] { return rounds > afterDisconnect + 10; }));
    going = false;
    reader.join();
    QByteArray data;
    EXPECT_EQ(input->read(data), 0);
}
