#pragma once

#include "simterminal/ScaledDeadline.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace testsupport {

// Polls the condition until it holds or the wait's deadline passes.
// Returns whether it held. Tests never sleep a fixed time instead.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::milliseconds(20000))
{
    const auto end = std::chrono::steady_clock::now() + waitDeadline(deadline);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return noteWait(condition());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Whether the condition keeps holding, polled, for the whole (scaled) span:
// for what must not happen while the other side has had every chance to
// make it happen. Returns false as soon as it fails.
inline bool holdsThroughout(const std::function<bool()>& condition, std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + scaled(span);
    while (std::chrono::steady_clock::now() < end) {
        if (!condition())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// Milliseconds on the steady clock, in a form an atomic holds: an exit
// handler notes when the exit began, a later one how long it took.
inline std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace testsupport
