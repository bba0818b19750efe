#include "foundation/ConnectionBudget.h"

#include <gtest/gtest.h>

#include <limits>

using vorsam::ConnectionBudget;

namespace {

const std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();

} // namespace

// Each connection costs 5 descriptors and 3 threads; a quarter of each
// limit, and at least 64 descriptors, stays with the host.
TEST(ConnectionBudget, AffordsWhatTheTightestLimitLeavesAfterTheHostsShare)
{
    const struct {
        ConnectionBudget::Limits limits;
        std::uint64_t connections;
    } rows[] = {
        {{Unlimited, Unlimited, Unlimited}, Unlimited},
        {{256, Unlimited, Unlimited}, 38},
        {{20000, Unlimited, Unlimited}, 3000},
        {{64, Unlimited, Unlimited}, 0},
        {{20, Unlimited, Unlimited}, 0},
        {{20000, 300, Unlimited}, 75},
        {{256, 300, Unlimited}, 38},
        {{Unlimited, Unlimited, 0}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.limits.descriptors << " descriptors, " << row.limits.threads
                                        << " threads, " << row.limits.addressBytes << " bytes");
        EXPECT_EQ(ConnectionBudget::affordable(row.limits), row.connections);
    }
}
