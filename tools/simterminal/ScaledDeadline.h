#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

// Deadlines stretch under emulation (scripts/test.sh sets ZUVA_TEST_SLOW there).
inline std::chrono::milliseconds scaled(std::chrono::milliseconds base)
{
    return std::getenv("ZUVA_TEST_SLOW") ? base * 10 : base;
}

namespace detail {

inline std::atomic<bool>& aWaitRanOut()
{
    static std::atomic<bool> ranOut{false};
    return ranOut;
}

} // namespace detail

// The deadline of a wait for what must come. Once a wait of this process has
// run out, the executable fails whatever follows: its later waits get at most
// two (scaled) seconds, so that a broken build ends with its failures within
// the executable's time limit instead of waiting out every deadline in full.
inline std::chrono::milliseconds waitDeadline(std::chrono::milliseconds base)
{
    const auto full = scaled(base);
    return detail::aWaitRanOut() ? std::min(full, scaled(std::chrono::milliseconds(2000))) : full;
}

// Passes a wait's outcome on, remembering the first one that ran out.
inline bool noteWait(bool met)
{
    if (!met && !detail::aWaitRanOut().exchange(true))
        std::fprintf(stderr, "A wait ran out: the later waits of this executable get at most two seconds.\n");
    return met;
}

} // namespace testsupport
