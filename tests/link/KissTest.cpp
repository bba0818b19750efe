#include "LinkFixture.h"

#include "link/LinkCall.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace linktest;

using KissLink = LinkFixture;

namespace {

// An output stream that can hold the link thread inside a write.
class GateOutputStream : public testsupport::MemoryOutputStream {
public:
    bool write(const unsigned char* data, int size) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        blocked_ = closed_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !closed_; });
        blocked_ = false;
        lock.unlock();
        return MemoryOutputStream::write(data, size);
    }

    void close()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }

    void open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = false;
        changed_.notify_all();
    }

    bool holdsWriter()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocked_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool blocked_ = false;
};

} // namespace

TEST_F(KissLink, HeartbeatPausesDuringTransactionsAndAlwaysResumes)
{
    attachPeer();
    makeLink(milliseconds(10));
    link->start();
    ASSERT_TRUE(waitFor([&] { return connected == 1; }));
    for (int transaction = 1; transaction <= 20; ++transaction) {
        // The engine pauses the heartbeat, sends, gets its answer, resumes.
        link->disableHeartBeat();
        ASSERT_TRUE(write("A1"));
        ASSERT_TRUE(waitFor([&] { return sendSucceeded >= 1 && peer->messages().size() == size_t(transaction); }));
        link->enableHeartBeat();
        const int heartbeats = peer->emptyFrames();
        ASSERT_TRUE(waitFor([&] { return peer->emptyFrames() > heartbeats; })) << "transaction " << transaction;
    }
    EXPECT_EQ(sendFailed, 0);
    EXPECT_EQ(disconnected, 0);
}

TEST_F(KissLink, HeartbeatEnabledWhileAFrameAwaitsItsAckStartsOnceIdle)
{
    connectLink(testsupport::scaled(milliseconds(300)));
    link->disableHeartBeat();
    ASSERT_TRUE(write("A1"));
    const QByteArray message = output->at(output->writeCount() - 1);
    ASSERT_EQ(kiss::buildKissDataMessage(QByteArray::fromHex("A1"), static_cast<unsigned char>(message.at(1))), message);
    link->enableHeartBeat();
    input->feed(ack(static_cast<unsigned char>(message.at(1))));
    const unsigned char next = static_cast<unsigned char>(message.at(1) + 1);
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", next)); }));
}

TEST_F(KissLink, StoppingNotifiesDisconnectedOnceAndOnlyWhenConnected)
{
    makeLink(boost::none);
    link->start();
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 1)); }));
    link->stop();
    EXPECT_FALSE(link->isStarted());
    QCoreApplication::processEvents();
    EXPECT_EQ(disconnected, 0);

    connected = 0;
    input = std::make_shared<testsupport::MemoryInputStream>();
    output = std::make_shared<testsupport::MemoryOutputStream>();
    connectLink();
    link->stop();
    EXPECT_FALSE(link->isConnected());
    ASSERT_TRUE(testsupport::waitUntil([&] {
        QCoreApplication::processEvents();
        return disconnected == 1;
    }));
    // A stopped link refuses at once.
    EXPECT_FALSE(write("A1"));
    QByteArray none;
    EXPECT_EQ(link->getInputStream()->read(none), 0);
}

TEST_F(KissLink, CallsIntoAStoppingLinkReturn)
{
    auto gate = std::make_shared<GateOutputStream>();
    output = gate;
    connectLink();

    // The link thread is held inside a serial write while others call in.
    gate->close();
    std::atomic<int> returned{0};
    std::thread writer([&] {
        const unsigned char payload[] = {0x41};
        link->getOutputStream()->write(payload, 1);
        ++returned;
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return gate->holdsWriter(); }));
    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            const unsigned char payload[] = {0x42};
            link->getOutputStream()->write(payload, 1);
            QByteArray bytes;
            link->getInputStream()->read(bytes);
            ++returned;
        });
    }
    std::thread stopper([&] { link->stop(); });
    gate->open();
    stopper.join();
    writer.join();
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(returned, 5);
    EXPECT_FALSE(link->isStarted());
}

TEST(LinkCall, AbandonedCallWakesItsCallerWithoutRunning)
{
    bool ran = false;
    kiss::LinkCall call([&] { ran = true; });
    std::thread linkThread([&] { call.abandon(); });
    EXPECT_FALSE(call.wait());
    linkThread.join();
    call.run();
    EXPECT_FALSE(ran);

    kiss::LinkCall served([&] { ran = true; });
    std::thread server([&] { served.run(); });
    EXPECT_TRUE(served.wait());
    server.join();
    EXPECT_TRUE(ran);
}

TEST_F(KissLink, DestroyingAStartedLinkStopsItsThread)
{
    connectLink();
    std::weak_ptr<vorsam::InputStream> engineSide = link->getInputStream();
    link.reset();
    // Without its Kiss, the link neither runs nor keeps itself alive.
    EXPECT_TRUE(engineSide.expired());
    QCoreApplication::processEvents();
    EXPECT_EQ(disconnected, 0); // the callbacks went with the Kiss
}
