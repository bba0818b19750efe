#include "foundation/TcpIpServer.h"

#include "LoopbackPeer.h"
#include "RecordingTcpListener.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using foundationtest::LoopbackListener;
using foundationtest::LoopbackPeer;
using foundationtest::RecordingTcpListener;
using testsupport::waitUntil;

namespace {

class TcpServer : public ::testing::Test {
protected:
    std::unique_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    std::shared_ptr<RecordingTcpListener> listener = std::make_shared<RecordingTcpListener>();
};

} // namespace

TEST_F(TcpServer, ListensOnANamedThreadAndRefusesASecondListen)
{
    const auto port = foundationtest::freePort();
    server->registerListener(listener);
    ASSERT_TRUE(server->listen("127.0.0.1", port));
    EXPECT_TRUE(server->isListening());
    EXPECT_FALSE(server->listen(foundationtest::freePort()));

    LoopbackPeer peer;
    ASSERT_TRUE(peer.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return listener->connects() == 1; }));
    EXPECT_EQ(listener->threadName(), "TcpServer(127.0.0.1:" + std::to_string(port) + ")Thread");

    EXPECT_TRUE(server->stopListening());
    EXPECT_FALSE(server->stopListening());
    EXPECT_FALSE(server->isListening());
}

TEST_F(TcpServer, SaysSoWhenItsPortCannotBeBound)
{
    LoopbackListener occupant;
    EXPECT_FALSE(server->listen("127.0.0.1", occupant.port()));
    EXPECT_FALSE(server->isListening());
    EXPECT_FALSE(server->stopListening());
}

// The socket's signals must be hooked up before its thread starts: a
// terminal that sends right after connecting is always heard.
TEST_F(TcpServer, ReportsTheFirstBytesSentRightAfterConnecting)
{
    const auto port = foundationtest::freePort();
    server->registerListener(listener);
    ASSERT_TRUE(server->listen(port));
    for (int i = 0; i < 20; ++i) {
        LoopbackPeer peer;
        ASSERT_TRUE(peer.connectTo(port));
        const QByteArray hello = "hello-" + QByteArray::number(i) + ";";
        ASSERT_TRUE(peer.send(hello));
        EXPECT_TRUE(waitUntil([&] { return listener->receivedFromAll().contains(hello); })) << i;
    }
}

TEST_F(TcpServer, TellsEachListenerEntryOfEveryEvent)
{
    auto other = std::make_shared<RecordingTcpListener>();
    server->registerListener(listener);
    server->registerListener(listener);
    server->registerListener(std::shared_ptr<vorsam::TcpIpServerListener>());
    server->unregisterListener(std::make_shared<RecordingTcpListener>());
    server->registerListener(other);
    server->registerListener(listener);
    const auto port = foundationtest::freePort();
    ASSERT_TRUE(server->listen(port));

    LoopbackPeer peer;
    ASSERT_TRUE(peer.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return listener->connects() == 2 && other->connects() == 1; }));
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return listener->disconnects() == 2 && other->disconnects() == 1; }));

    server->unregisterListener(listener);
    LoopbackPeer second;
    ASSERT_TRUE(second.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return listener->connects() == 3 && other->connects() == 2; }));
}

TEST_F(TcpServer, ForgetsASocketOnceItsPeerHasClosed)
{
    listener->keepSockets(false);
    std::weak_ptr<vorsam::TcpIpSocket> accepted;
    struct Keeper : vorsam::TcpIpServerListener {
        std::weak_ptr<vorsam::TcpIpSocket>& target;
        std::mutex& mutex;
        Keeper(std::weak_ptr<vorsam::TcpIpSocket>& t, std::mutex& m) : target(t), mutex(m) {}
        void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override
        {
            std::lock_guard<std::mutex> lock(mutex);
            target = socket;
        }
        void onDataPending(std::weak_ptr<vorsam::TcpIpSocket>) override {}
    };
    std::mutex mutex;
    server->registerListener(std::make_shared<Keeper>(accepted, mutex));
    server->registerListener(listener);
    const auto port = foundationtest::freePort();
    ASSERT_TRUE(server->listen(port));

    LoopbackPeer peer;
    ASSERT_TRUE(peer.connectTo(port));
    ASSERT_TRUE(waitUntil([&] { return listener->connects() == 1; }));
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return listener->disconnects() == 1; }));
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return accepted.expired();
    }));
}

TEST_F(TcpServer, ListenersStayRegisteredAcrossARestartOnAnotherPort)
{
    server->registerListener(listener);
    ASSERT_TRUE(server->listen(foundationtest::freePort()));
    ASSERT_TRUE(server->stopListening());
    const auto port = foundationtest::freePort();
    ASSERT_TRUE(server->listen(port));
    LoopbackPeer peer;
    ASSERT_TRUE(peer.connectTo(port));
    ASSERT_TRUE(peer.send("again"));
    EXPECT_TRUE(waitUntil([&] { return listener->receivedFromAll() == "again"; }));
}

// Registration happens on the caller's thread while the server thread walks
// the lists for every event.
TEST_F(TcpServer, ListenersMayComeAndGoWhileTerminalsTalk)
{
    server->registerListener(listener);
    const auto port = foundationtest::freePort();
    ASSERT_TRUE(server->listen(port));
    std::atomic<bool> talking{true};
    std::thread registrar([&] {
        auto visitor = std::make_shared<RecordingTcpListener>();
        while (talking) {
            server->registerListener(visitor);
            server->unregisterListener(visitor);
        }
    });
    for (int i = 0; i < 5; ++i) {
        LoopbackPeer peer;
        ASSERT_TRUE(peer.connectTo(port));
        ASSERT_TRUE(peer.send("x"));
        ASSERT_TRUE(waitUntil([&] { return listener->receivedFromAll().size() == i + 1; }));
    }
    talking = false;
    registrar.join();
    listener->releaseSockets();
    EXPECT_TRUE(server->stopListening());
}
