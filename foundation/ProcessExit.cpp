#include "foundation/ProcessExit.h"

#include <atomic>

namespace vorsam {

namespace {

std::atomic<bool> exitBegun{false};

} // namespace

void ProcessExit::begin()
{
    exitBegun = true;
}

bool ProcessExit::begun()
{
    return exitBegun;
}

} // namespace vorsam
