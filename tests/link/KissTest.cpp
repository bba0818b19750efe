#include "LinkFixture.h"

#include <atomic>
#include <future>
#include <thread>

using namespace linktest;

using KissLink = LinkFixture;

namespace {

// An output stream that can hold the link thread inside a write.
class GateOutputStream : public testsupport::MemoryOutputStream {
public:
    bool write(const unsigned char* data, int size) override
    {
        if (closed) {
            holdsWriter = true;
            opened.wait();
        }
        return MemoryOutputStream::write(data, size);
    }

    void open()
    {
        closed = false;
        opener.set_value();
    }

    std::atomic<bool> closed{false};
    std::atomic<bool> holdsWriter{false};

private:
    std::promise<void> opener;
    std::shared_future<void> opened = opener.get_future().share();
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
    EXPECT_TRUE(lost.empty());
    EXPECT_EQ(disconnected, 0);
}

// Stopping reports a disconnection only for a link that was up; a stopped
// link refuses at once.
TEST_F(KissLink, StoppingNotifiesDisconnectedOnceAndOnlyWhenConnected)
{
    makeLink(boost::none);
    link->start();
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 1)); }));
    link->stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(disconnected, 0);

    output = std::make_shared<testsupport::MemoryOutputStream>();
    connectLink();
    link->stop();
    ASSERT_TRUE(waitFor([&] { return disconnected == 1; }));
    EXPECT_FALSE(write("A1"));
}

TEST_F(KissLink, CallsIntoAStoppingLinkReturn)
{
    auto gate = std::make_shared<GateOutputStream>();
    output = gate;
    connectLink();

    // The link thread is held inside a serial write while others call in.
    gate->closed = true;
    std::atomic<int> returned{0};
    std::thread writer([&] {
        const unsigned char payload[] = {0x41};
        link->getOutputStream()->write(payload, 1);
        ++returned;
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return gate->holdsWriter.load(); }));
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
