#include "foundation/ConnectionBudget.h"

#include "foundation/Thread.h"

#include <algorithm>
#include <limits>

#include <sys/resource.h>

namespace vorsam {

namespace {

// One accepted connection with the terminal connection built on it: the
// socket's thread and the dispatch and response-handler threads; the socket,
// its send duplicate and the wake-up descriptor of each thread's event loop.
const std::uint64_t ThreadsPerConnection = 3;
const std::uint64_t DescriptorsPerConnection = 5;

// The host's own descriptors, and the connections the server has accepted
// but not yet taken or refused, stay below the limit.
const std::uint64_t DescriptorsKeptAtLeast = 64;

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

// The limits are read each time: the host may change them while it runs.
bool ConnectionBudget::take()
{
    const std::uint64_t fitting = affordable(processLimits());
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken_ >= fitting)
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
