#include "LinkFixture.h"

#include "foundation/SerialPort.h"
#include "link/LinkCall.h"

#include "support/PtyPair.h"

#include <atomic>
#include <future>
#include <thread>

using namespace linktest;

using KissLink = LinkFixture;
using LinkOverPty = LinkFixture;

namespace {

// An output stream that can hold the link thread inside a write.
class GateOutputStream : public testsupport::MemoryOutputStream {
public:
    bool write(const unsigned char* data, int size) override
    {
        if (closed) {
            holdsWriter = true;
            std::shared_future<void>(opened).wait();
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

// The terminal, played on the master side of a pseudo-terminal pair.
class PtyTerminal : public testsupport::LinkPeer {
public:
    PtyTerminal()
        : LinkPeer([this](const testsupport::Bytes& bytes) { pty.send(bytes); })
    {
    }

    testsupport::PtyPair pty{[this](const testsupport::Bytes& bytes) { receive(bytes); }};
};

testsupport::Bytes bytesOf(const QByteArray& array)
{
    return testsupport::Bytes(array.begin(), array.end());
}

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

TEST_F(LinkOverPty, CarriesMessagesBothWaysWithAnIndependentTerminal)
{
    PtyTerminal terminal;
    ASSERT_TRUE(terminal.pty.isOpen());
    auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(port->open(terminal.pty.slaveName(), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(testsupport::waitUntil([&] { return port->isOpen(); }));

    makeLink(boost::none, fastTimings(), port->getInputStream(), port->getOutputStream());
    link->start();
    ASSERT_TRUE(waitFor([&] { return connected == 1; }));
    QByteArray ticket; // every byte value
    for (int i = 0; i < 300; ++i)
        ticket.append(static_cast<char>(i & 0xFF));
    ASSERT_TRUE(link->getOutputStream()->write(reinterpret_cast<const unsigned char*>(ticket.constData()),
                                               ticket.size()));
    ASSERT_TRUE(waitFor([&] { return terminal.messages().size() == 1; }));
    EXPECT_EQ(terminal.messages()[0], bytesOf(ticket));

    // Two messages back to back arrive in one read or several; none is left behind.
    terminal.sendMessage(bytesOf("first"));
    terminal.sendMessage(bytesOf(ticket));
    ASSERT_TRUE(waitFor([&] { return received.size() == 5 + ticket.size(); }));
    EXPECT_EQ(received, QByteArray("first") + ticket);
    ASSERT_TRUE(waitFor([&] { return terminal.acknowledgements().size() == 2; }));
    EXPECT_EQ(terminal.acknowledgements(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(terminal.frameSequences(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(terminal.naks(), 0);
    EXPECT_TRUE(lost.empty());
    link.reset();
    port->close();
}
