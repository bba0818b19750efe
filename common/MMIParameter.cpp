#include "common/MMIParameter.h"

namespace ect {

namespace {
constexpr int defaultDisplayTimeout = 180;
}

MMIParameter::MMIParameter()
    : displayTimeout(defaultDisplayTimeout)
{
}

} // namespace ect
