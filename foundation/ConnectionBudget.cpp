#include "foundation/ConnectionBudget.h"

#include "foundation/Thread.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorsam {

namespace {

// One accepted connection with the terminal connection built on it: the
// socket's thread and the dispatch and response-handler threads; the socket,
// its send duplicate and the wake-up descriptor of each thread's event loop.
constexpr std::uint64_t ThreadsPerConnection = 3;
const std::uint64_t DescriptorsPerConnection = 5;
// A thread still starting has its event loop's wake-up descriptor still to
// open or, once that is made, its task's start may open one (a socket that
// connects does).
const std::uint64_t DescriptorsPerStartingThread = 1;

// The host's own descriptors, and the connections the server has accepted
// but not yet taken or refused, stay below the limit.
const std::uint64_t DescriptorsKeptAtLeast = 64;

// What stays free beyond a connection's own cost when it is taken: room for
// the sanitizers, for other servers accepting meanwhile and for the host's
// next files, threads and memory.
const std::uint64_t DescriptorsLeftFree = 32;
const std::uint64_t ThreadsLeftFree = 16;
const std::uint64_t AddressBytesLeftFree = std::uint64_t(64) << 20;

// The user part of a 32-bit address space; a 64-bit one is bound only by its limit.
const std::uint64_t AddressSpace32 = std::uint64_t(3) << 30;
// All that 32 bits address.
const std::uint64_t AddressSpaceOf32Bits = std::uint64_t(1) << 32;

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

// A count the process's own figures should give but could not be read (no
// descriptor or memory left to read it with): nothing is free. Without
// those figures at all, the check rests on the shares alone.
std::uint64_t unreadable()
{
    return ::access("/proc/self", F_OK) == 0 ? Unlimited : 0;
}

// The process's open descriptors: given at once since Linux 6.2, listed one
// by one before.
std::uint64_t descriptorsOfProcess(const char* folder)
{
    struct stat status {};
    if (::stat(folder, &status) == 0 && status.st_size > 0)
        return std::uint64_t(status.st_size);
    DIR* const listing = ::opendir(folder);
    if (!listing)
        return unreadable();
    std::uint64_t entries = 0;
    while (const dirent* entry = ::readdir(listing))
        entries += entry->d_name[0] != '.';
    ::closedir(listing);
    // The listing's own descriptor.
    return entries > 0 ? entries - 1 : 0;
}

// The process's threads: the kernel adds them to the links of its task
// folder, beside the folder's own two; 0 when the system does not say.
std::uint64_t threadsOfProcess()
{
    struct stat status {};
    return ::stat("/proc/self/task", &status) == 0 && status.st_nlink > 2 ? std::uint64_t(status.st_nlink) - 2 : 0;
}

// The bytes of the process's mappings, summed from their list.
std::uint64_t bytesOfMappings()
{
    std::FILE* const maps = std::fopen("/proc/self/maps", "re");
    if (!maps)
        return unreadable();
    std::uint64_t bytes = 0;
    unsigned long long first = 0;
    unsigned long long end = 0;
    while (std::fscanf(maps, "%llx-%llx%*[^\n]", &first, &end) == 2)
        bytes += end - first;
    std::fclose(maps);
    return bytes;
}

// The process's mapped bytes. An emulator may give its own figure, more
// than a 32-bit process can map: the process's mappings are summed then.
std::uint64_t addressBytesOfProcess(const char* file)
{
    std::FILE* const statm = std::fopen(file, "re");
    if (!statm)
        return unreadable();
    unsigned long long pages = 0;
    if (std::fscanf(statm, "%llu", &pages) != 1)
        pages = 0;
    std::fclose(statm);
    const std::uint64_t bytes = std::uint64_t(pages) * std::uint64_t(::sysconf(_SC_PAGESIZE));
    return sizeof(void*) == 4 && bytes > AddressSpaceOf32Bits ? bytesOfMappings() : bytes;
}

bool descriptorsFree(std::uint64_t limit, const char* folder)
{
    // The accepted socket is open already.
    if (limit == Unlimited)
        return true;
    const std::uint64_t needed = DescriptorsPerConnection - 1 + DescriptorsLeftFree
        + DescriptorsPerStartingThread * Thread::startingCount();
    const std::uint64_t used = descriptorsOfProcess(folder);
    return used != Unlimited && used + needed <= limit;
}

bool threadsFree(std::uint64_t limit)
{
    return limit == Unlimited || threadsOfProcess() + ThreadsPerConnection + ThreadsLeftFree <= limit;
}

bool addressSpaceFree(std::uint64_t limit, const char* file)
{
    if (limit == Unlimited)
        return true;
    const std::uint64_t used = addressBytesOfProcess(file);
    return used != Unlimited && used + stackBytesPerConnection() + AddressBytesLeftFree <= limit;
}

// The rest of the connection, and what stays free beyond it, must fit into
// what the process has left now. The descriptors come first: reading the
// address space opens a file.
bool fitsWhatIsFree(const ConnectionBudget::Limits& limits, const ConnectionBudget::Paths& paths)
{
    return descriptorsFree(limits.descriptors, paths.descriptors.c_str()) && threadsFree(limits.threads)
        && addressSpaceFree(limits.addressBytes, paths.addressBytes.c_str());
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
    if (taken_ >= fitting || !fitsWhatIsFree(limits, paths_))
        return false;
    ++taken_;
    return true;
}

void ConnectionBudget::readFrom(const Paths& paths)
{
    std::lock_guard<std::mutex> lock(mutex_);
    paths_ = paths;
}

void ConnectionBudget::giveBack()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken_ > 0)
        --taken_;
}

} // namespace vorsam
