#include "common/ECTTerminalEvent.h"

#include <gtest/gtest.h>

using namespace ect;

namespace {

ECTTerminalEvent event(std::string state)
{
    return ECTTerminalEvent("T1", std::move(state));
}

} // namespace

TEST(ECTTerminalEventTest, EventsOfAState)
{
    ECTTerminalEvent const idle = event("40");
    EXPECT_EQ("01000000", idle.binaryString());
    EXPECT_TRUE(idle.isEvent(ECTTerminalEvents::TerminalIdle));
    EXPECT_FALSE(idle.isEvent(ECTTerminalEvents::TerminalMaintenance));
    EXPECT_EQ("40 - 01000000 [TerminalIdle]", idle.description());

    ECTTerminalEvent const all = event("7FCF67A");
    for (int value = 0; value < 20; ++value)
        EXPECT_TRUE(all.isEvent(static_cast<ECTTerminalEvents>(value))) << value;

    // A short state covers only its own bits.
    ECTTerminalEvent const ff = event("FF");
    EXPECT_EQ("PINEntry, RemoveCard, CardRemoved, TerminalIdle, TerminalOutOfOrder, AdditionalDataEntry, "
              "TerminalMaintenance",
              ff.eventsString());
    EXPECT_FALSE(ff.isEvent(ECTTerminalEvents::CardInserted));
    EXPECT_FALSE(ff.isEvent(ECTTerminalEvents::CurrencySelection));
    EXPECT_EQ("80 - 10000000", event("80").description());
    EXPECT_EQ(" - ", event("").description());
    EXPECT_EQ("", event("").eventsString());
}

// Characters are table indices: bytes above 0x7F must not index negatively.
TEST(ECTTerminalEventTest, HostileStatesAndEventValues)
{
    EXPECT_EQ("0100", convertHexaToBinary("4a"));
    EXPECT_EQ("00000100", convertHexaToBinary("0 4"));
    EXPECT_EQ("00000100", convertHexaToBinary("0\xC1\xFF" "4"));
    EXPECT_EQ("1010", event("\xE0" "A").binaryString());

    ECTTerminalEvent const all = event("FFFFFFFF");
    for (int value : {-1, 20, 1000}) {
        EXPECT_EQ(0, eventValue(static_cast<ECTTerminalEvents>(value))) << value;
        EXPECT_FALSE(all.isEvent(static_cast<ECTTerminalEvents>(value))) << value;
    }
    EXPECT_EQ(27, eventValue(ECTTerminalEvents::CurrencySelection));
    EXPECT_FALSE(binaryStringBitSetAtPosition("1", 1));
    EXPECT_FALSE(binaryStringBitSetAtPosition("1", -1));
    EXPECT_TRUE(binaryStringBitSetAtPosition("01", 1));
    EXPECT_FALSE(endsWith(",", ", "));
}
