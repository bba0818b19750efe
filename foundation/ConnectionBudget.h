#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace vorsam {

// What the process can still afford for accepted connections. Until its
// socket is gone, each one costs threads, descriptors and thread stacks
// (the socket's and the terminal connection's built on it). A connection is
// taken only up to a share of each limit, so that a flood of connections
// cannot exhaust them, and only while its cost and some room beyond it are
// still free, whatever the host holds of its own. What is free is counted,
// never tried: the check opens and maps nothing, so the host and other
// servers lose nothing to it. The counts are the kernel's figures for the
// process, which cost the same however many descriptors and threads it has;
// a kernel before Linux 6.2 has the descriptors listed one by one instead,
// and under an emulator a 32-bit process's mappings are summed.
// Threads still starting count with the descriptors they are about to open.
// Process-wide: every server draws on the same limits.
class ConnectionBudget {
public:
    struct Limits {
        std::uint64_t descriptors;
        std::uint64_t threads;
        std::uint64_t addressBytes;
    };

    static ConnectionBudget& instance();

    // Takes one connection's share; false, taking nothing, when it does not fit.
    bool take();
    void giveBack();

    // How many connections fit into the limits.
    static std::uint64_t affordable(const Limits& limits);
    // The process's limits now.
    static Limits processLimits();

    // Where the process's open descriptors are listed and its mapped bytes
    // read: tests name what cannot be read.
    struct Paths {
        std::string descriptors = "/proc/self/fd";
        std::string addressBytes = "/proc/self/statm";
    };
    void readFrom(const Paths& paths);

private:
    ConnectionBudget() = default;

    std::mutex mutex_;
    std::uint64_t taken_ = 0;
    Paths paths_;
};

} // namespace vorsam
