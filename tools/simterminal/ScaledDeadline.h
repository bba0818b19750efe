#pragma once

#include <chrono>
#include <cstdlib>

namespace testsupport {

// Deadlines stretch under emulation (scripts/test.sh sets ZUVA_TEST_SLOW there).
inline std::chrono::milliseconds scaled(std::chrono::milliseconds base)
{
    return std::getenv("ZUVA_TEST_SLOW") ? base * 10 : base;
}

} // namespace testsupport
