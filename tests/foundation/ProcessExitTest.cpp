#include "foundation/ProcessExit.h"
#include "foundation/Runnable.h"
#include "foundation/TcpIpServer.h"
#include "foundation/TcpIpServerListener.h"
#include "foundation/Thread.h"

#include "simterminal/SimTerminal.h"
#include "tests/support/ClosedByPeer.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

#include <unistd.h>

namespace {

class CountingListener : public vorsam::TcpIpServerListener {
public:
    void onConnect(std::weak_ptr<vorsam::TcpIpSocket>) override { ++connects; }
    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket>) override {}

    std::atomic<int> connects{0};
};

class EndingTask : public vorsam::Runnable {
public:
    explicit EndingTask(std::atomic<bool>& ended)
        : ended_(ended)
    {
    }
    void onFinished() override { ended_ = true; }

private:
    std::atomic<bool>& ended_;
};

} // namespace

// The exit's marks are process-wide and for good, so this executable has this
// one test: once the exit has begun a server accepts nothing, and once it
// has left the rest to the process's end no thread starts, and those running
// are back in their event loops, handle nothing more and stay until the
// process ends, their tasks' endings never run. A thread that waits (for
// host code, say) is not waited for.
TEST(ProcessExit, ServersAcceptNothingOnceItHasBegunAndNoThreadStartsOnceItLeftTheRest)
{
    std::atomic<bool> ended{false};
    auto worker = std::make_unique<vorsam::Thread>("Worker", std::make_unique<EndingTask>(ended));
    std::atomic<bool> waiterInside{false};
    std::promise<void> waiterRelease;
    auto waiter = std::make_unique<vorsam::Thread>(
        "Waiter", vorsam::Thread::RunOnce, [&, released = waiterRelease.get_future().share()](vorsam::Runnable&) {
            const vorsam::Thread::Waiting forTheHost;
            waiterInside = true;
            released.wait();
        });
    ASSERT_TRUE(testsupport::waitUntil([&] { return waiterInside.load(); }));

    const auto listener = std::make_shared<CountingListener>();
    const std::unique_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    server->registerListener(listener);
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    ASSERT_TRUE(server->listen("127.0.0.1", port));

    vorsam::ProcessExit::begin();
    const int peer = testsupport::SimTerminal::loopbackConnection(port);
    ASSERT_GE(peer, 0);
    EXPECT_TRUE(testsupport::waitUntil([peer] { return testsupport::closedByPeer(peer); }));
    ::close(peer);
    EXPECT_EQ(listener->connects, 0);

    vorsam::ProcessExit::leaveTheRest();
    EXPECT_TRUE(testsupport::waitUntil([] { return vorsam::Thread::recalledCount() == 0; }));
    waiterRelease.set_value();
    worker.reset();
    waiter.reset();
    EXPECT_FALSE(ended);
    EXPECT_EQ(vorsam::startThreadOnce("LateThread", std::make_unique<vorsam::Runnable>()), nullptr);
    // A refused start is no longer counted as starting: the exit waits for none.
    EXPECT_TRUE(testsupport::waitUntil([] { return vorsam::Thread::startingCount() == 0; }));
}
