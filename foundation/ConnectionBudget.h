#pragma once

#include <cstdint>
#include <mutex>

namespace vorsam {

// What the process can still afford for accepted connections. Until its
// socket is gone, each one costs threads, descriptors and thread stacks
// (the socket's and the terminal connection's built on it). A connection is
// taken only while its cost, and some room beyond it, is still free in the
// process, whatever the host holds of its own, and only up to a share of each
// limit, so that a flood of connections cannot exhaust them. Process-wide:
// every server draws on the same limits.
class ConnectionBudget {
public:
    struct Limits {
        std::uint64_t descriptors;
        std::uint64_t threads;
        std::uint64_t addressBytes;
    };

    static ConnectionBudget& instance();

    // Takes one connection's share; false, taking nothing, when it does not fit.
    // Each take costs the same, however many connections there are.
    bool take();
    void giveBack();

    // How many connections fit into the limits.
    static std::uint64_t affordable(const Limits& limits);
    // The process's limits now.
    static Limits processLimits();

private:
    ConnectionBudget() = default;

    std::mutex mutex_;
    std::uint64_t taken_ = 0;
};

} // namespace vorsam
