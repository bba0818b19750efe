#pragma once

#include "link/Kiss.h"
#include "link/KissUtil.h"

#include "support/MemoryStreams.h"
#include "support/StackSize.h"
#include "support/Wait.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace linktest {

using std::chrono::milliseconds;

inline QByteArray frame(const char* hexPayload, unsigned char sequence)
{
    return kiss::buildKissDataMessage(QByteArray::fromHex(hexPayload), sequence);
}

inline QByteArray ack(unsigned char sequence)
{
    return QByteArray(1, char(kiss::ACK)) + QByteArray(1, char(sequence));
}

inline const QByteArray nak(1, char(kiss::NACK));

// Short time-outs so that no test waits for the real ones.
inline kiss::LinkTimings fastTimings()
{
    kiss::LinkTimings timings;
    timings.connectDelay = testsupport::scaled(milliseconds(10));
    timings.ackTimeout = testsupport::scaled(milliseconds(150));
    timings.completeMessageTimeout = testsupport::scaled(milliseconds(60));
    return timings;
}

// A link over in-memory streams; the test plays the terminal by pushing bytes
// into the link's input and looking at what the link wrote.
class LinkFixture : public ::testing::Test {
protected:
    // The link's callbacks are queued to the thread that built it; the tests
    // build it on the main thread and run its events while they wait.
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_link";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    void makeLink(boost::optional<milliseconds> heartbeat, kiss::LinkTimings timings = fastTimings())
    {
        link = std::make_unique<kiss::Kiss>(input, output, heartbeat, timings);
        link->setOnConnectedCallback([this] { ++connected; });
        link->setOnDisconnectedCallback([this] { ++disconnected; });
        link->setOnSendFailedCallback([this](QByteArray payload) { lost.push_back(payload); });
        link->setOnSendSuccessCallback([this] { ++sendSucceeded; });
        link->setOnReceiveFailedCallback([this] { ++receiveFailed; });
        link->setOnRepeatMayBeAnswerCallback([this](QByteArray) { ++repeatsThatMayBeAnswers; });
        link->setSendCheck([this](const QByteArray&) {
            checkStack = testsupport::currentStackSize();
            return true;
        });
    }

    // Starts the link and answers its first probe.
    void connectLink(boost::optional<milliseconds> heartbeat = boost::none, kiss::LinkTimings timings = fastTimings())
    {
        makeLink(heartbeat, timings);
        link->start();
        ASSERT_TRUE(waitFor([&] { return output->countOf(frame("", 1)) > 0; }));
        input->feed(ack(1));
        ASSERT_TRUE(waitFor([&] { return connected == 1; }));
    }

    // Runs the main thread's events and reads the link, as the engine does on
    // pending data, until the condition holds.
    bool waitFor(const std::function<bool()>& condition, milliseconds deadline = milliseconds(20000))
    {
        return testsupport::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                link->getInputStream()->read(received);
                return condition();
            },
            deadline);
    }

    // The same, for a condition that must keep holding throughout the span.
    bool holdsThroughout(const std::function<bool()>& condition, milliseconds span)
    {
        return testsupport::holdsThroughout(
            [&] {
                QCoreApplication::processEvents();
                link->getInputStream()->read(received);
                return condition();
            },
            span);
    }

    bool write(const char* hexPayload)
    {
        const QByteArray payload = QByteArray::fromHex(hexPayload);
        return link->getOutputStream()->write(reinterpret_cast<const unsigned char*>(payload.constData()),
                                              payload.size());
    }

    bool wrote(const QByteArray& bytes) const { return output->countOf(bytes) > 0; }

    // Empty frames written: probes and heartbeats, repetitions included.
    size_t emptyFrames() const
    {
        const std::vector<QByteArray> writes = output->writes();
        return size_t(std::count_if(writes.begin(), writes.end(), [](const QByteArray& bytes) {
            return bytes.size() == 5 && bytes.at(0) == char(kiss::STX);
        }));
    }

    std::shared_ptr<testsupport::MemoryInputStream> input = std::make_shared<testsupport::MemoryInputStream>();
    std::shared_ptr<testsupport::MemoryOutputStream> output = std::make_shared<testsupport::MemoryOutputStream>();
    std::unique_ptr<kiss::Kiss> link;
    QByteArray received;
    int connected = 0;
    int disconnected = 0;
    // The payloads reported lost, in order.
    std::vector<QByteArray> lost;
    int sendSucceeded = 0;
    int receiveFailed = 0;
    // Frames dropped as repeats that may have been answers.
    size_t repeatsThatMayBeAnswers = 0;
    // The stack of the thread that asked the send check last.
    std::atomic<size_t> checkStack{0};
};

} // namespace linktest
