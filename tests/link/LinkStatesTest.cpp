#include "LinkFixture.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace linktest;

using LinkStates = LinkFixture;

// The link comes up on the acknowledgement of its probe only. A write while
// it is down fails at once; its result is its only report.
TEST_F(LinkStates, WriteWhileDownFailsAtOnceAndIsReportedOnce)
{
    makeLink(boost::none);
    EXPECT_FALSE(write("41")); // not started
    link->start();
    // Unanswered probes are resent with their number; a foreign ACK changes nothing.
    ASSERT_TRUE(waitFor([&] { return output->countOf(frame("", 1)) >= 2; }));
    EXPECT_FALSE(write("41")); // probing
    input->feed(ack(7));
    EXPECT_TRUE(waitFor([&] { return output->countOf(frame("", 1)) >= 3; }));
    EXPECT_FALSE(link->isConnected());
    input->feed(ack(1));
    // Notifications keep their order: a report of the refusal would come first.
    ASSERT_TRUE(waitFor([&] { return connected == 1; }));
    EXPECT_TRUE(lost.empty());
    EXPECT_EQ(output->countOf(frame("41", 2)), 0u);
}

TEST_F(LinkStates, WritesWhileBusyAreSentInOrderOnceIdle)
{
    connectLink();
    ASSERT_TRUE(write("A1"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("A1", 2)); }));
    // Awaiting the ACK of A1: further messages wait their turn, and a frame
    // that comes is acknowledged at once (else the terminal would repeat it).
    EXPECT_TRUE(write("B2"));
    EXPECT_TRUE(write("C3"));
    input->feed(frame("7172", 7));
    ASSERT_TRUE(waitFor([&] { return wrote(ack(7)); }));
    EXPECT_EQ(received, QByteArray::fromHex("7172"));
    EXPECT_FALSE(wrote(frame("B2", 3)));

    input->feed(ack(2));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("B2", 3)); }));
    EXPECT_FALSE(wrote(frame("C3", 4)));
    input->feed(ack(3));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("C3", 4)); }));
    input->feed(ack(4));
    ASSERT_TRUE(waitFor([&] { return sendSucceeded == 3; }));
    // The engine's check may be the last to let go of a terminal's
    // dispatcher, whose ending calls the host.
    EXPECT_GE(checkStack.load(), testsupport::HostCodeStack);
}

// The terminal repeats a frame whose ACK it missed until its resends run
// out, also while frames of ours come. Where its numbers advance, that holds
// whatever it acknowledged meanwhile, and a new number is a new frame even
// with the same bytes; where they never change, the same frame once it has
// acknowledged a message of ours may answer it and is new, and before that it
// is dropped with a report. After the resends' time it is new either way.
// Rows: the terminal's numbers advance.
class LinkRepeats : public LinkFixture, public ::testing::WithParamInterface<bool> {
};

TEST_P(LinkRepeats, RepeatedFrameIsAcknowledgedAgainButDeliveredOnce)
{
    const bool advancing = GetParam();
    connectLink();
    QByteArray expected;
    size_t acks = 0;
    // Feeds the bytes, which end with a frame under the number, and waits for its ACK.
    const auto feed = [&](const QByteArray& bytes, unsigned char number, const char* delivered) {
        const size_t before = output->countOf(ack(number));
        input->feed(bytes);
        ASSERT_TRUE(waitFor([&] { return output->countOf(ack(number)) == before + 1; }));
        expected += QByteArray::fromHex(delivered);
        EXPECT_EQ(received, expected) << ++acks;
    };
    const unsigned char number = advancing ? 6 : 5;
    feed(frame("1122", 5), 5, "1122");
    feed(frame("1122", 5), 5, ""); // our ACK was lost
    // A new frame after our message: a new number with the same bytes, or new bytes.
    ASSERT_TRUE(write("A0"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("A0", 2)); }));
    const QByteArray last = frame(advancing ? "1122" : "3344", number);
    feed(ack(2) + last, number, advancing ? "1122" : "3344");

    ASSERT_TRUE(write(""));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 3)); }));
    feed(ack(3) + last, number, "");

    // Before the terminal acknowledges our message, it still repeats its frame.
    ASSERT_TRUE(write("A1"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("A1", 4)); }));
    feed(last, number, "");
    QCoreApplication::processEvents();
    EXPECT_EQ(repeatsThatMayBeAnswers, advancing ? 0u : 1u);
    feed(ack(4) + last, number, advancing ? "" : "3344");
    // Its ACK again, for our resend it got late: the new frame's repeat is one.
    feed(ack(4) + last, number, "");
    if (advancing)
        feed(frame("1122", 7), 7, "1122");
    QCoreApplication::processEvents();
    EXPECT_EQ(repeatsThatMayBeAnswers, advancing ? 0u : 1u);

    // Two empty frames of ours lost one after the other: the terminal's
    // resends of its frame have run out long since.
    for (const size_t lostFrames : {1u, 2u}) {
        ASSERT_TRUE(write(""));
        ASSERT_TRUE(waitFor([&] { return lost.size() == lostFrames; }));
    }
    feed(advancing ? frame("1122", 7) : last, advancing ? 7 : 5, advancing ? "1122" : "3344");

    // An empty frame answers nothing: its repeat before the terminal
    // acknowledges our message is no report.
    const unsigned char empty = advancing ? 9 : 5;
    feed(frame("", empty), empty, "");
    ASSERT_TRUE(write("A2"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("A2", 7)); }));
    feed(frame("", empty), empty, "");
    feed(ack(7) + frame("", empty), empty, "");
    QCoreApplication::processEvents();
    EXPECT_EQ(repeatsThatMayBeAnswers, advancing ? 0u : 1u);

    // A late repeat, twice the acknowledgement time-out after the frame, is
    // still one. Judged only if the link took it before the terminal's
    // resends (an acknowledgement time-out each) could have run out.
    const auto window = fastTimings().ackTimeout * (kiss::LinkTimings::maxResends + 1);
    const auto beforeFrame = std::chrono::steady_clock::now();
    feed(frame("3344", 8), 8, "3344");
    const auto repeatDue = std::chrono::steady_clock::now() + 2 * fastTimings().ackTimeout;
    ASSERT_TRUE(waitFor([&] { return std::chrono::steady_clock::now() >= repeatDue; }));
    input->feed(frame("3344", 8));
    ASSERT_TRUE(waitFor([&] { return output->countOf(ack(8)) == 2; }));
    if (std::chrono::steady_clock::now() < beforeFrame + window) {
        EXPECT_EQ(received, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, LinkRepeats, ::testing::Values(true, false));

TEST_F(LinkStates, NoiseAndDamageClearTheWholeBufferWithOneNakAndTheTerminalRepeats)
{
    connectLink();
    QByteArray damaged = frame("5555", 4);
    damaged[2] = 0x56;
    struct Row {
        const char* name;
        QByteArray head;
    };
    const Row rows[] = {{"noise", QByteArray::fromHex("FF7E41")}, {"damaged frame", damaged}};
    unsigned char sequence = 5;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t naks = output->countOf(nak);
        received.clear();
        input->feed(row.head + frame("6666", sequence) + frame("7777", sequence + 1));
        ASSERT_TRUE(waitFor([&] { return output->countOf(nak) == naks + 1; }));
        input->feed(frame("6666", sequence));
        ASSERT_TRUE(waitFor([&] { return wrote(ack(sequence)); }));
        EXPECT_EQ(output->countOf(nak), naks + 1);
        EXPECT_FALSE(wrote(ack(sequence + 1)));
        EXPECT_EQ(received, QByteArray::fromHex("6666"));
        sequence += 2;
    }

    // The rest never comes: NAK, and later bytes are judged on their own.
    input->feed(frame("5152", 10).left(5));
    ASSERT_TRUE(waitFor([&] { return output->countOf(nak) == 3; }));
    input->feed(frame("5354", 11));
    ASSERT_TRUE(waitFor([&] { return wrote(ack(11)); }));

    // Noise holding our frame's acknowledgement, then a frame, while our frame
    // awaits its ACK: one NAK, the acknowledgement not taken, the repeated
    // frame delivered once.
    ASSERT_TRUE(write("A1"));
    received.clear();
    input->feed(QByteArray::fromHex("FF0602") + frame("8888", 12));
    ASSERT_TRUE(waitFor([&] { return output->countOf(nak) == 4; }));
    input->feed(frame("8888", 12));
    ASSERT_TRUE(waitFor([&] { return wrote(ack(12)); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(sendSucceeded, 0);
    ASSERT_TRUE(waitFor([&] { return output->countOf(frame("A1", 2)) == 2; }));
    input->feed(ack(2));
    ASSERT_TRUE(waitFor([&] { return sendSucceeded == 1; }));
    EXPECT_EQ(received, QByteArray::fromHex("8888"));
    EXPECT_EQ(output->countOf(nak), 4u);

    // A fragment that comes while our frame awaits its ACK and is never
    // completed does not hide the acknowledgement behind it.
    ASSERT_TRUE(write("B2"));
    input->feed(QByteArray::fromHex("020941"));
    ASSERT_TRUE(waitFor([&] { return output->countOf(frame("B2", 3)) >= 2; }));
    input->feed(ack(3));
    ASSERT_TRUE(waitFor([&] { return sendSucceeded == 2; }));
}

TEST_F(LinkStates, UnansweredFrameAndUnreadableInputFailButTheLinkStaysUp)
{
    kiss::LinkTimings timings = fastTimings();
    timings.ackTimeout = milliseconds(60000); // resends come from NAKs only
    connectLink(boost::none, timings);
    ASSERT_TRUE(write("A1"));
    for (int nakCount = 1; nakCount <= 4; ++nakCount) {
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("A1", 2)) == size_t(nakCount); }));
        input->feed(nak);
    }
    ASSERT_TRUE(waitFor([&] { return lost.size() == 1; }));
    EXPECT_EQ(lost.front(), QByteArray::fromHex("A1"));
    EXPECT_EQ(disconnected, 0);
    EXPECT_TRUE(link->isConnected());
    ASSERT_TRUE(write("B2"));
    EXPECT_TRUE(wrote(frame("B2", 3)));
    input->feed(ack(3));

    // Four NAKs sent report one receive failure, posted before the fourth goes out.
    for (int i = 1; i <= 5; ++i) {
        input->feed(QByteArray::fromHex("41"));
        ASSERT_TRUE(waitFor([&] { return output->countOf(nak) == size_t(i); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(receiveFailed, i < 4 ? 0 : 1) << i;
    }
}

TEST_F(LinkStates, LostHeartbeatReportsWhatWaitedAndRefusesWritesUntilReconnected)
{
    kiss::LinkTimings timings = fastTimings();
    timings.ackTimeout = milliseconds(60000); // the heartbeat is lost by NAKs only
    connectLink(milliseconds(20), timings);
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 2)); }));
    ASSERT_TRUE(write("A1")); // waits behind the heartbeat
    for (int sent = 1; sent <= 4; ++sent) {
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("", 2)) == size_t(sent); }));
        input->feed(nak);
    }
    // The heartbeat is lost, the link goes down, and what waited is lost with it.
    ASSERT_TRUE(waitFor([&] { return disconnected == 1 && lost.size() == 2; }));
    EXPECT_EQ(lost, (std::vector<QByteArray>{QByteArray(), QByteArray::fromHex("A1")}));
    EXPECT_FALSE(write("B2"));

    // Probing resumes with a new number until the terminal answers.
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 3)); }));
    input->feed(ack(3));
    ASSERT_TRUE(waitFor([&] { return connected == 2; }));
    EXPECT_EQ(output->countOf(frame("A1", 3)), 0u);

    // A written frame lost takes the link down too.
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 4)); }));
    ASSERT_TRUE(write("C3")); // waits behind the heartbeat
    input->feed(ack(4));
    for (int sent = 1; sent <= 4; ++sent) {
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("C3", 5)) == size_t(sent); }));
        input->feed(nak);
    }
    ASSERT_TRUE(waitFor([&] { return disconnected == 2 && lost.size() == 3; }));
    EXPECT_EQ(lost.back(), QByteArray::fromHex("C3"));
    EXPECT_FALSE(write("B2"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", 6)); }));
    input->feed(ack(6));
    ASSERT_TRUE(waitFor([&] { return connected == 3; }));

    // Stopping a link that is up reports its end once; a stopped link refuses at once.
    link->stop();
    ASSERT_TRUE(waitFor([&] { return disconnected == 3; }));
    EXPECT_FALSE(write("B2"));
}

// Paused, as while the engine awaits a reply, the link sends nothing of its
// own, with a heartbeat or without one, and a frame lost then fails alone: the
// link stays up. Resumed, a heartbeat finds a silent terminal.
// Rows: the heartbeat in milliseconds, 0 for none.
class LinkHeartBeatPaused : public LinkFixture, public ::testing::WithParamInterface<int> {
};

TEST_P(LinkHeartBeatPaused, SendsNothingOfItsOwnAndALostFrameLeavesTheLinkUp)
{
    kiss::LinkTimings timings = fastTimings();
    timings.ackTimeout = milliseconds(60000); // frames are lost by NAKs only
    const bool heartBeat = GetParam() != 0;
    connectLink(heartBeat ? boost::make_optional(milliseconds(GetParam())) : boost::none, timings);
    unsigned char next = 2;
    if (heartBeat) {
        ASSERT_TRUE(waitFor([&] { return wrote(frame("", next)); }));
        link->disableHeartBeat(); // awaiting the heartbeat's ACK
        input->feed(ack(next++));
    } else {
        link->disableHeartBeat();
    }
    ASSERT_TRUE(write("A1"));
    ASSERT_TRUE(waitFor([&] { return wrote(frame("A1", next)); }));
    input->feed(ack(next++));
    const size_t ownFrames = emptyFrames();
    EXPECT_TRUE(holdsThroughout([&] { return emptyFrames() == ownFrames; }, milliseconds(500)));

    ASSERT_TRUE(write("B2"));
    for (int sent = 1; sent <= 4; ++sent) {
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("B2", next)) == size_t(sent); }));
        input->feed(nak);
    }
    ASSERT_TRUE(waitFor([&] { return lost.size() == 1; }));
    EXPECT_EQ(lost.front(), QByteArray::fromHex("B2"));
    ASSERT_TRUE(write("C3"));
    ++next;
    ASSERT_TRUE(waitFor([&] { return wrote(frame("C3", next)); }));
    input->feed(ack(next++));
    ASSERT_TRUE(waitFor([&] { return sendSucceeded == (heartBeat ? 3 : 2); }));
    EXPECT_EQ(disconnected, 0);
    EXPECT_EQ(emptyFrames(), ownFrames);

    link->enableHeartBeat();
    if (!heartBeat) {
        link->stop();
        ASSERT_TRUE(waitFor([&] { return disconnected == 1; }));
        EXPECT_EQ(emptyFrames(), 1u); // the probe that brought the link up
        return;
    }
    for (int sent = 1; sent <= 4; ++sent) {
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("", next)) == size_t(sent); }));
        input->feed(nak);
    }
    ASSERT_TRUE(waitFor([&] { return disconnected == 1; }));
    ++next;
    ASSERT_TRUE(waitFor([&] { return wrote(frame("", next)); }));
    input->feed(ack(next));
    ASSERT_TRUE(waitFor([&] { return connected == 2; }));
}

INSTANTIATE_TEST_SUITE_P(HeartBeat, LinkHeartBeatPaused, ::testing::Values(200, 0));

// Half way through the time-out the terminal asks us to wait: the resend
// comes a whole time-out after that request (with a wide margin on either side).
TEST_F(LinkStates, WaitAcknowledgementPostponesTheResend)
{
    // A long time-out, so a stalled test thread cannot make the first resend come before the request.
    kiss::LinkTimings timings = fastTimings();
    timings.ackTimeout = testsupport::scaled(milliseconds(800));
    connectLink(boost::none, timings);
    const milliseconds timeout = timings.ackTimeout;
    ASSERT_TRUE(write("A1"));
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return std::chrono::steady_clock::now() - sent >= timeout / 2; }));
    const auto askedToWait = std::chrono::steady_clock::now();
    input->feed(QByteArray(1, char(kiss::WACK)));
    ASSERT_TRUE(waitFor([&] { return output->countOf(frame("A1", 2)) == 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - askedToWait, timeout * 3 / 4);
}

// The link thread is held inside a serial write while others call in and
// the link stops.
TEST_F(LinkStates, CallsIntoAStoppingLinkReturn)
{
    connectLink();
    // Shared with the threads, so a link stuck in its stop fails the test
    // without leaving them anything that goes away under them.
    struct Calls {
        std::promise<void> release;
        std::atomic<bool> holding{false};
        std::atomic<int> returned{0};
        std::atomic<bool> stopped{false};
    };
    const auto calls = std::make_shared<Calls>();
    const std::shared_future<void> released = calls->release.get_future().share();
    output->setForward([calls, released](const QByteArray&) {
        calls->holding = true;
        released.wait();
    });
    kiss::Kiss* const stopping = link.get();
    std::vector<std::thread> threads;
    threads.emplace_back([calls, stopping] {
        const unsigned char payload[] = {0x41};
        stopping->getOutputStream()->write(payload, 1);
        ++calls->returned;
    });
    EXPECT_TRUE(testsupport::waitUntil([&] { return calls->holding.load(); }));
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([calls, stopping] {
            const unsigned char payload[] = {0x42};
            stopping->getOutputStream()->write(payload, 1);
            QByteArray bytes;
            stopping->getInputStream()->read(bytes);
            ++calls->returned;
        });
    }
    threads.emplace_back([calls, stopping] {
        stopping->stop();
        calls->stopped = true;
    });
    calls->release.set_value();
    const bool allReturned = testsupport::waitUntil([&] { return calls->stopped && calls->returned == 5; });
    EXPECT_TRUE(allReturned) << calls->returned << " calls returned, stopped: " << calls->stopped;
    if (!allReturned) {
        // The stuck threads keep the link: it is never destroyed under them.
        (void)link.release();
        for (auto& thread : threads)
            thread.detach();
        return;
    }
    for (auto& thread : threads)
        thread.join();
    output->setForward(nullptr);
}

// A slow line adds the time a frame takes on it to the acknowledgement timeout,
// and a long frame's to the quiet that ends a message's frames.
TEST(LinkTimings, AckTimeoutAndFrameGapGrowOnASlowLineOnly)
{
    const kiss::LinkTimings defaults;
    EXPECT_EQ(defaults.ackTimeoutFor(100), defaults.ackTimeout);
    EXPECT_EQ(defaults.frameGap(), defaults.completeMessageTimeout);
    kiss::LinkTimings slowLine;
    slowLine.baudRate = 1200;
    EXPECT_EQ(slowLine.ackTimeoutFor(100), slowLine.ackTimeout + milliseconds(1000));
    EXPECT_EQ(slowLine.frameGap(), slowLine.completeMessageTimeout + milliseconds(5120));
}
