#include "foundation/Crc.h"

#include <gtest/gtest.h>

// Check values of CRC-16/ARC and CRC-16/X-25 over "123456789".
TEST(Crc, CheckValues)
{
    const unsigned char digits[] = "123456789";
    EXPECT_EQ(vorsam::crc::getCrc16IBM(digits, 9), 0xBB3D);
    EXPECT_EQ(vorsam::crc::getCrc16CCITT(digits, 9), 0x906E);
    const unsigned char one = 0x01;
    EXPECT_EQ(vorsam::crc::getCrc16IBM(&one, 1), 0xC0C1);
    EXPECT_EQ(vorsam::crc::getCrc16IBM(nullptr, 0), 0);
}
