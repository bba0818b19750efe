#include "encoding/ECTCurrencyManager.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using encodingtest::hexOf;

TEST(ECTCurrencyManager, holdsTheSupportedCurrenciesOnlyCzkWithCashback)
{
    oxa::ECTCurrencyManager const manager;
    struct Row {
        char const* code;
        char const* name;
        char const* zuvaCode;
        bool cashback;
    };
    for (Row const& row : {Row{"EUR", "Euro", "0978", false}, Row{"GBP", "British Pound", "0826", false},
                           Row{"CZK", "Czech Koruna", "0203", true}, Row{"NOK", "Norwegian Krone", "0578", false},
                           Row{"DKK", "Danish Krone", "0208", false}, Row{"SEK", "Swedish Krona", "0752", false}}) {
        auto const currency = manager.currencyWithCode(row.code);
        ASSERT_TRUE(currency) << row.code;
        EXPECT_EQ(row.name, currency->name);
        EXPECT_EQ(row.zuvaCode, currency->zuvaCode);
        EXPECT_EQ(2, currency->decimals);
        EXPECT_EQ(9999999999, currency->maximumTransactionAmount);
        EXPECT_EQ(row.cashback, currency->cashbackAllowed) << row.code;
        EXPECT_EQ(row.code, manager.currencyWithZuvaCode(row.zuvaCode)->code);
    }
    EXPECT_EQ("09 78", hexOf(manager.currencyWithCode("EUR")->data()));
    EXPECT_EQ("[0978 - EUR] Euro : 2 decimal(s), maximum transaction amount: 9999999999, cashback allowed: No",
              manager.currencyWithCode("eur")->description());
    EXPECT_EQ("[0203 - CZK] Czech Koruna : 2 decimal(s), maximum transaction amount: 9999999999, cashback allowed: Yes",
              manager.currencyWithCode("czk")->description());
}

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
