#include "foundation/ConnectionBudget.h"
#include "foundation/Thread.h"
#include "tests/support/LoweredLimits.h"
#include "tests/support/ProcessThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using testsupport::DescriptorsLeft;
using testsupport::HeldDescriptors;
using testsupport::LoweredLimit;
using vorsam::ConnectionBudget;

namespace {

const std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();

#ifdef ZUVA_TEST_EMULATED
const bool Emulated = true;
#else
const bool Emulated = false;
#endif

// A task whose start says it has begun and then waits to be let go, and
// whose first run says the start is over.
class HeldStart : public vorsam::Runnable {
public:
    HeldStart(std::promise<void>& entered, std::future<void> release, std::promise<void>& running)
        : entered_(entered)
        , release_(std::move(release))
        , running_(running)
    {
    }

    void startTask() override
    {
        entered_.set_value();
        release_.wait();
    }

    void doTask() override { running_.set_value(); }

private:
    std::promise<void>& entered_;
    std::future<void> release_;
    std::promise<void>& running_;
};

rlim_t addressBytesInUse()
{
    unsigned long long pages = 0;
    if (std::FILE* const statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE));
}

enum class Unread { Nothing, Descriptors, AddressBytes };

// One of the process's figures read from where there is none. The address
// space is limited meanwhile: without a limit it is not read.
class UnreadFigure {
public:
    explicit UnreadFigure(Unread what)
    {
        ConnectionBudget::Paths paths;
        if (what == Unread::Descriptors)
            paths.descriptors = "/proc/self/none";
        if (what == Unread::AddressBytes) {
            paths.addressBytes = "/proc/self/none";
            addressSpace_ = std::make_unique<LoweredLimit>(RLIMIT_AS, addressBytesInUse() + (rlim_t(1) << 30));
        }
        ConnectionBudget::instance().readFrom(paths);
    }

    ~UnreadFigure() { ConnectionBudget::instance().readFrom({}); }

private:
    std::unique_ptr<LoweredLimit> addressSpace_;
};

} // namespace

// Each connection costs 5 descriptors and 3 threads; a quarter of each
// limit, and at least 64 descriptors, stays with the host.
TEST(ConnectionBudget, AffordsWhatTheTightestLimitLeavesAfterTheHostsShare)
{
    const struct {
        ConnectionBudget::Limits limits;
        std::uint64_t connections;
    } rows[] = {
        {{Unlimited, Unlimited, Unlimited}, Unlimited},
        {{256, Unlimited, Unlimited}, 38},
        {{20000, Unlimited, Unlimited}, 3000},
        {{64, Unlimited, Unlimited}, 0},
        {{20, Unlimited, Unlimited}, 0},
        {{20000, 300, Unlimited}, 75},
        {{256, 300, Unlimited}, 38},
        {{Unlimited, Unlimited, 0}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.limits.descriptors << " descriptors, " << row.limits.threads
                                        << " threads, " << row.limits.addressBytes << " bytes");
        EXPECT_EQ(ConnectionBudget::affordable(row.limits), row.connections);
    }
}

// Connections are taken up to the host's share, and only while the process
// still has a connection's descriptors (4 beside its socket) and 32 more
// free, however many of its own the host holds. One given back is taken again.
// A count of what is used that cannot be read leaves nothing free.
TEST(ConnectionBudget, TakesConnectionsWhileTheyFitIntoTheShareAndWhatIsFree)
{
    const struct {
        rlim_t limit;
        rlim_t free;
        std::uint64_t connections;
        Unread unread = Unread::Nothing;
    } rows[] = {
        {256, 256, 38},
        {128, 128, 12},
        {256, 36, 38},
        {256, 35, 0},
        {256, 0, 0},
        {256, 256, 0, Unread::Descriptors},
        {256, 256, 0, Unread::AddressBytes},
    };
    ConnectionBudget& budget = ConnectionBudget::instance();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.limit << " descriptors, " << row.free << " free, unread "
                                        << int(row.unread));
        std::uint64_t taken = 0;
        bool takenAgain = false;
        {
            const UnreadFigure unread(row.unread);
            const DescriptorsLeft left(row.limit, row.free);
            while (taken <= row.connections && budget.take())
                ++taken;
            if (taken > 0) {
                budget.giveBack();
                takenAgain = budget.take();
            }
        }
        for (std::uint64_t each = 0; each < taken; ++each)
            budget.giveBack();
        EXPECT_EQ(taken, row.connections);
        EXPECT_EQ(takenAgain, taken > 0);
    }
}

// Nor are they taken unless the process's threads leave room for a
// connection's 3 and 16 more below the thread limit.
TEST(ConnectionBudget, TakesConnectionsOnlyWhileTheirThreadsFit)
{
#ifdef ZUVA_TEST_EMULATED
    GTEST_SKIP() << "the emulator does not tell a process's threads";
#endif
    const int needed = 3 + 16;
    const struct {
        int beyondNeeded;
        bool taken;
    } rows[] = {{4, true}, {0, true}, {-1, false}, {-4, false}};
    ConnectionBudget& budget = ConnectionBudget::instance();
    for (const auto& row : rows) {
        const auto limit = rlim_t(int(testsupport::threadNames().size()) + needed + row.beyondNeeded);
        SCOPED_TRACE(testing::Message() << limit << " threads");
        std::uint64_t taken = 0;
        {
            const LoweredLimit threads(RLIMIT_NPROC, limit);
            while (taken < 100 && budget.take())
                ++taken;
        }
        for (std::uint64_t each = 0; each < taken; ++each)
            budget.giveBack();
        EXPECT_EQ(taken, row.taken ? ConnectionBudget::affordable({Unlimited, limit, Unlimited}) : 0);
    }
}

// Nor unless the address space still holds the connection's stacks and
// 64 MiB more. A 64-bit process without a limit on it has no edge to meet.
TEST(ConnectionBudget, TakesConnectionsOnlyWhileTheirStacksFit)
{
    if (sizeof(void*) > 4)
        GTEST_SKIP() << "a 64-bit address space has no edge to meet";
    std::vector<std::pair<void*, std::size_t>> mapped;
    mapped.reserve(4096);
    // The largest pieces first: what is left has no room for 64 MiB. Readable:
    // an emulator lists no inaccessible mappings of the process.
    for (std::size_t size = std::size_t(1) << 30; size >= (std::size_t(1) << 20); size /= 2) {
        void* piece = nullptr;
        while (mapped.size() < mapped.capacity()
               && (piece = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0))
                      != MAP_FAILED)
            mapped.emplace_back(piece, size);
    }
    ASSERT_GE(mapped.size(), 2u);
    ConnectionBudget& budget = ConnectionBudget::instance();
    const bool takenWhenFull = budget.take();
    // Two of the largest pieces back: under an emulator, 4 GiB were mapped.
    ::munmap(mapped[0].first, mapped[0].second);
    ::munmap(mapped[1].first, mapped[1].second);
    const bool takenWithRoom = budget.take();
    for (std::size_t each = 2; each < mapped.size(); ++each)
        ::munmap(mapped[each].first, mapped[each].second);
    for (const bool taken : {takenWhenFull, takenWithRoom})
        if (taken)
            budget.giveBack();
    EXPECT_FALSE(takenWhenFull);
    EXPECT_TRUE(takenWithRoom);
}

// A thread still starting may yet open a descriptor: a take counts one for
// it until its task has started. Here the thread waits inside its task's
// start, or runs its task.
TEST(ConnectionBudget, CountsWhatAThreadStillStartingIsAboutToOpen)
{
    const struct {
        rlim_t free;
        bool started;
        bool taken;
    } rows[] = {{4 + 32 + 1, false, true}, {4 + 32, false, false}, {4 + 32, true, true}};
    ConnectionBudget& budget = ConnectionBudget::instance();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.free << " free, " << (row.started ? "started" : "starting"));
        std::promise<void> entered;
        std::promise<void> release;
        std::promise<void> running;
        const vorsam::Thread thread("Starting", vorsam::Thread::RunOnce,
                                    std::make_unique<HeldStart>(entered, release.get_future(), running));
        entered.get_future().wait();
        if (row.started) {
            release.set_value();
            running.get_future().wait();
        }
        bool taken = false;
        {
            const DescriptorsLeft left(256, row.free);
            taken = budget.take();
        }
        if (!row.started)
            release.set_value();
        if (taken)
            budget.giveBack();
        EXPECT_EQ(taken, row.taken);
    }
}

// The check takes nothing the host could need meanwhile: a host thread that
// keeps taking a descriptor while exactly a connection's 36 are free, or
// 50 MiB while 100 MiB are left below the address-space limit, never fails
// while connections are checked.
TEST(ConnectionBudget, TakesNothingTheHostNeedsWhileItChecks)
{
    struct Row {
        const char* what;
        std::function<std::shared_ptr<void>()> leaveLittle;
        std::function<bool()> grab;
    };
    const std::size_t hostMapping = std::size_t(50) << 20;
    std::vector<Row> rows{{"descriptors", [] { return std::make_shared<DescriptorsLeft>(256, 4 + 32); },
                           [] {
                               const int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                               return file >= 0 && ::close(file) == 0;
                           }}};
    // The emulator keeps the address-space limit to itself.
    if (!Emulated)
        rows.push_back(
            {"address space",
             [] { return std::make_shared<LoweredLimit>(RLIMIT_AS, addressBytesInUse() + (100 << 20)); },
             [hostMapping] {
                 void* const mapped = ::mmap(nullptr, hostMapping, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                 return mapped != MAP_FAILED && ::munmap(mapped, hostMapping) == 0;
             }});
    ConnectionBudget& budget = ConnectionBudget::instance();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        enum Phase { Waiting, Checking, Done };
        std::atomic<Phase> phase{Waiting};
        std::atomic<int> failures{0};
        // Started first: its own stack is not what it needs meanwhile.
        std::thread host([&] {
            for (Phase now; (now = phase) != Done;)
                failures += now == Checking && !row.grab();
        });
        {
            const std::shared_ptr<void> little = row.leaveLittle();
            phase = Checking;
            for (int check = 0; check < 2000; ++check)
                if (budget.take())
                    budget.giveBack();
            phase = Done;
            host.join();
        }
        EXPECT_EQ(failures, 0);
    }
}
