#pragma once

#include "simterminal/ScaledDeadline.h"

#include <chrono>
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

} // namespace testsupport
