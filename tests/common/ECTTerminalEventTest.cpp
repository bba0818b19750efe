#include "common/ECTTerminalEvent.h"

#include <gtest/gtest.h>

using namespace ect;

// Characters are table indices: bytes above 0x7F must not index negatively.
TEST(ECTTerminalEventTest, EventsOfAStateEvenAHostileOne)
{
    EXPECT_EQ("40 - 01000000 [TerminalIdle]", ECTTerminalEvent("T1", "40").description());
    EXPECT_EQ("00000100", convertHexaToBinary("0\xC1\xFF" "4"));
    ECTTerminalEvent const all("T1", "FFFFFFFF");
    for (int value : {-1, 20, 1000})
        EXPECT_FALSE(all.isEvent(static_cast<ECTTerminalEvents>(value))) << value;
    // A short state covers only its own bits.
    EXPECT_FALSE(ECTTerminalEvent("T1", "FF").isEvent(ECTTerminalEvents::CardInserted));
    EXPECT_FALSE(binaryStringBitSetAtPosition("1", -1));
}
