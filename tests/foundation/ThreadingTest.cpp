#include "foundation/Threading.h"
#include <gtest/gtest.h>
TEST(Threading, DefaultHooks) { EXPECT_EQ(AttachThread(), 1); DetachThread(); }
