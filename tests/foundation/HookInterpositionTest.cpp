#include "foundation/SharedQtLibrary.h"
#include "foundation/Thread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

// A host's own hooks take the place of the library's through the dynamic
// symbol table.
namespace {
std::atomic<int> attached{0};
std::atomic<int> detached{0};
std::atomic<int> cleanups{0};
} // namespace

int AttachThread()
{
    ++attached;
    return 0;
}

void DetachThread()
{
    ++detached;
}

namespace vorsam {
void cleanupQtApp(std::unique_ptr<QCoreApplication>& application)
{
    ++cleanups;
    application.reset();
}
} // namespace vorsam

TEST(HookInterposition, HostHooksSeeEveryWorkerThreadAndTheApplicationsEnd)
{
    auto holder = std::make_unique<vorsam::SharedQtLibrary>();
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    {
        vorsam::Thread thread("Hooked", vorsam::Thread::RunOnce, [](vorsam::Runnable& self) { self.stop(); });
        thread.join();
    }
    EXPECT_EQ(attached, 1);
    EXPECT_EQ(detached, 1);

    holder.reset();
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
