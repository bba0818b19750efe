#include "foundation/ConnectionBudget.h"

#include "foundation/Thread.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vorsam {

namespace {

// One accepted connection with the terminal connection built on it: the
// socket's thread and the dispatch and response-handler threads; the socket,
// its send duplicate and the wake-up descriptor of each thread's event loop.
constexpr std::uint64_t ThreadsPerConnection = 3;
constexpr std::size_t DescriptorsPerConnection = 5;

// The host's own descriptors, and the connections the server has accepted
// but not yet taken or refused, stay below the limit.
const std::uint64_t DescriptorsKeptAtLeast = 64;

// What stays free beyond a connection's own cost when it is taken: room for
// the sanitizers, for other servers accepting meanwhile and for the host's
// next files, threads and memory.
constexpr std::size_t DescriptorsLeftFree = 32;
const std::uint64_t ThreadsLeftFree = 16;
const std::uint64_t AddressBytesLeftFree = std::uint64_t(64) << 20;

// The user part of a 32-bit address space; a 64-bit one is bound only by its limit.
const std::uint64_t AddressSpace32 = std::uint64_t(3) << 30;

const std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();

std::uint64_t stackBytesPerConnection()
{
    return std::uint64_t(Thread::WorkerStackSize) + 2 * std::uint64_t(Thread::HostCodeStackSize);
}

std::uint64_t limitOf(int resource)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return Unlimited;
    return limit.rlim_cur;
}

// A quarter of every limit stays with the host.
std::uint64_t connectionsWithin(std::uint64_t limit, std::uint64_t kept, std::uint64_t cost)
{
    if (limit == Unlimited)
        return Unlimited;
    kept = std::max(kept, limit / 4);
    return limit > kept ? (limit - kept) / cost : 0;
}

// Whether this many more descriptors can be opened: they are, and closed again.
bool descriptorsFree(std::size_t count)
{
    std::array<int, DescriptorsPerConnection + DescriptorsLeftFree> probes{};
    probes[0] = ::eventfd(0, EFD_CLOEXEC);
    std::size_t opened = probes[0] >= 0 ? 1 : 0;
    while (opened > 0 && opened < count && (probes[opened] = ::fcntl(probes[0], F_DUPFD_CLOEXEC, 0)) >= 0)
        ++opened;
    for (std::size_t each = 0; each < opened; ++each)
        ::close(probes[each]);
    return opened == count;
}

// The process's threads now; 0 when the system does not say.
std::uint64_t threadsOfProcess()
{
    char stat[1024];
    const int file = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    const ssize_t got = ::read(file, stat, sizeof stat - 1);
    ::close(file);
    if (got <= 0)
        return 0;
    stat[got] = '\0';
    // The name in parentheses may hold anything; the thread count is the 18th field after it.
    const char* field = std::strrchr(stat, ')');
    for (int skipped = 0; field && skipped < 18; ++skipped)
        field = std::strchr(field + 1, ' ');
    return field ? std::strtoull(field + 1, nullptr, 10) : 0;
}

bool threadsFree(std::uint64_t limit)
{
    return limit == Unlimited || threadsOfProcess() + ThreadsPerConnection + ThreadsLeftFree <= limit;
}

// Whether the connection's stacks can still be mapped: a mapping that size
// is made, and taken back.
bool addressSpaceFree(std::uint64_t limit)
{
    if (limit == Unlimited)
        return true;
    const auto bytes = std::size_t(stackBytesPerConnection() + AddressBytesLeftFree);
    void* const probe = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED)
        return false;
    ::munmap(probe, bytes);
    return true;
}

// The accepted socket is open already: the rest of the connection, and what
// stays free beyond it, must fit into what the process has left now.
bool fitsWhatIsFree(const ConnectionBudget::Limits& limits)
{
    return descriptorsFree(DescriptorsPerConnection - 1 + DescriptorsLeftFree) && threadsFree(limits.threads)
        && addressSpaceFree(limits.addressBytes);
}

} // namespace

// Never destroyed: a socket may still go while the process exits.
ConnectionBudget& ConnectionBudget::instance()
{
    static ConnectionBudget* const budget = new ConnectionBudget;
    return *budget;
}

ConnectionBudget::Limits ConnectionBudget::processLimits()
{
    std::uint64_t address = limitOf(RLIMIT_AS);
    if (sizeof(void*) == 4)
        address = std::min(address, AddressSpace32);
    return Limits{limitOf(RLIMIT_NOFILE), limitOf(RLIMIT_NPROC), address};
}

std::uint64_t ConnectionBudget::affordable(const Limits& limits)
{
    return std::min({connectionsWithin(limits.descriptors, DescriptorsKeptAtLeast, DescriptorsPerConnection),
                     connectionsWithin(limits.threads, 0, ThreadsPerConnection),
                     connectionsWithin(limits.addressBytes, 0, stackBytesPerConnection())});
}

// The limits are read each time: the host may change them while it runs. The
// share is only an upper bound: the host may use more than its part.
bool ConnectionBudget::take()
{
    const Limits limits = processLimits();
    const std::uint64_t fitting = affordable(limits);
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken_ >= fitting || !fitsWhatIsFree(limits))
        return false;
    ++taken_;
    return true;
}

void ConnectionBudget::giveBack()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken_ > 0)
        --taken_;
}

} // namespace vorsam
