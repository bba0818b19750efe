#include "encoding/ECTCurrencyManager.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using encodingtest::hexOf;

TEST(ECTCurrencyManager, lookupByCodeIgnoresCaseAndLeadingZeroOfTheNumber)
{
    oxa::ECTCurrencyManager const manager;
    EXPECT_EQ("EUR", manager.currencyWithZuvaCode("978")->code);
    EXPECT_EQ("EUR", manager.currencyWithCode("eUr")->code);
    for (char const* code : {"USD", "", "\xE9UR"})
        EXPECT_FALSE(manager.currencyWithCode(code)) << code;
    for (char const* code : {"0840", " 978", ""})
        EXPECT_FALSE(manager.currencyWithZuvaCode(code)) << code;
}
