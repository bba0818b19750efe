#include "common/ECTTerminalEvent.h"

#include <gtest/gtest.h>

using namespace ect;

TEST(ECTTerminalEventTest, EventsOfAState)
{
    ECTTerminalEvent const idle("T1", "40");
    EXPECT_EQ("40 - 01000000 [TerminalIdle]", idle.description());
    EXPECT_FALSE(idle.isEvent(ECTTerminalEvents::TerminalMaintenance));

    ECTTerminalEvent const all("T1", "7FCF67A");
    for (int value = 0; value < 20; ++value)
        EXPECT_TRUE(all.isEvent(static_cast<ECTTerminalEvents>(value))) << value;

    // A short state covers only its own bits.
    EXPECT_FALSE(ECTTerminalEvent("T1", "FF").isEvent(ECTTerminalEvents::CardInserted));
    EXPECT_EQ(" - ", ECTTerminalEvent("T1", "").description());
}

// Characters are table indices: bytes above 0x7F must not index negatively.
TEST(ECTTerminalEventTest, HostileStatesAndEventValues)
{
    EXPECT_EQ("00000100", convertHexaToBinary("0\xC1\xFF" "4"));
    ECTTerminalEvent const all("T1", "FFFFFFFF");
    for (int value : {-1, 20, 1000})
        EXPECT_FALSE(all.isEvent(static_cast<ECTTerminalEvents>(value))) << value;
    EXPECT_FALSE(binaryStringBitSetAtPosition("1", 1));
    EXPECT_FALSE(binaryStringBitSetAtPosition("1", -1));
}
