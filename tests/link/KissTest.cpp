#include "LinkFixture.h"

#include <atomic>
#include <future>
#include <thread>

using namespace linktest;

using KissLink = LinkFixture;

// The link thread is held inside a serial write while others call in and
// the link stops.
TEST_F(KissLink, CallsIntoAStoppingLinkReturn)
{
    connectLink();
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> holding{false};
    output->setForward([&holding, released](const QByteArray&) {
        holding = true;
        released.wait();
    });
    std::atomic<int> returned{0};
    std::thread writer([&] {
        const unsigned char payload[] = {0x41};
        link->getOutputStream()->write(payload, 1);
        ++returned;
    });
    EXPECT_TRUE(testsupport::waitUntil([&] { return holding.load(); }));
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
    release.set_value();
    stopper.join();
    writer.join();
    for (auto& caller : callers)
        caller.join();
    output->setForward(nullptr);
    EXPECT_EQ(returned, 5);
    EXPECT_FALSE(link->isStarted());
}
