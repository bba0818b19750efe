#include "foundation/Crc.h"

#include <gtest/gtest.h>

#include <cstring>

using vorsam::crc::getCrc16CCITT;
using vorsam::crc::getCrc16IBM;

TEST(Crc, Crc16IbmIsCrc16Arc)
{
    const char* digits = "123456789";
    EXPECT_EQ(getCrc16IBM(reinterpret_cast<const unsigned char*>(digits), std::strlen(digits)), 0xBB3D);
    const unsigned char one = 0x01;
    EXPECT_EQ(getCrc16IBM(&one, 1), 0xC0C1);
    EXPECT_EQ(getCrc16IBM(nullptr, 0), 0);
}

TEST(Crc, Crc16CcittIsQtsChecksum)
{
    const char* digits = "123456789";
    // CRC-16/X-25 check value.
    EXPECT_EQ(getCrc16CCITT(reinterpret_cast<const unsigned char*>(digits), std::strlen(digits)), 0x906E);
}
