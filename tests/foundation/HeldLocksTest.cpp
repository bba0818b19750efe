#include "foundation/HeldLocks.h"
#include "foundation/LibraryMutex.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

using vorsam::HeldLocks;
using vorsam::LibraryMutex;

namespace {

// Records the order things ran in: each piece of work handed over by its
// number (the first 0), each step by its letter.
struct Steps {
    std::string ran;
    int handedOver = 0;

    void handOver()
    {
        HeldLocks::outside([this, id = handedOver++] { ran += std::to_string(id); });
    }
    void mark(char step) { ran += step; }
};

} // namespace

// Work waits for the release of the last lock this thread holds, in the
// order handed over; what it hands over as it runs waits behind it.
TEST(HeldLocks, WorkRunsOnceTheLastLockIsLetGoInOrder)
{
    struct Row {
        const char* name;
        void (*run)(Steps&, LibraryMutex&, LibraryMutex&);
        const char* ran;
    };
    const Row rows[] = {
        {"no lock", [](Steps& s, LibraryMutex&, LibraryMutex&) { s.handOver(); s.mark('a'); }, "0a"},
        {"one lock",
         [](Steps& s, LibraryMutex& m, LibraryMutex&) {
             {
                 std::lock_guard<LibraryMutex> lock(m);
                 s.handOver();
                 s.handOver();
                 s.mark('a');
             }
             s.mark('b');
         },
         "a01b"},
        {"nested locks",
         [](Steps& s, LibraryMutex& outer, LibraryMutex& inner) {
             std::unique_lock<LibraryMutex> first(outer);
             {
                 std::lock_guard<LibraryMutex> second(inner);
                 s.handOver();
             }
             s.mark('a');
             first.unlock();
             s.mark('b');
         },
         "a0b"},
        {"handed over by kept work under a lock",
         [](Steps& s, LibraryMutex& m, LibraryMutex& inner) {
             std::lock_guard<LibraryMutex> lock(m);
             HeldLocks::outside([&] {
                 s.mark('x');
                 {
                     std::lock_guard<LibraryMutex> again(inner);
                     s.handOver();
                 }
                 s.mark('y');
             });
             s.handOver();
         },
         "xy01"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Steps steps;
        LibraryMutex first;
        LibraryMutex second;
        row.run(steps, first, second);
        EXPECT_EQ(steps.ran, row.ran);
        EXPECT_TRUE(HeldLocks::runsAtOnce());
    }
}

#ifdef ZUVA_CHECK_HOST_CODE_LOCKS
TEST(HeldLocksDeathTest, HostCodeEnteredUnderALockEndsTheProcess)
{
    HeldLocks::enteringHostCode();
    EXPECT_DEATH(
        {
            LibraryMutex mutex;
            std::lock_guard<LibraryMutex> lock(mutex);
            HeldLocks::enteringHostCode();
        },
        "host code entered while this thread holds 1 library lock");
}
#endif
