#include "common/Amount.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <stdexcept>

using ect::Amount;

TEST(AmountTest, ParsingAndPrinting)
{
    struct Case {
        char const* text;
        std::int64_t integral, decimal;
        char const* printed;
    };
    for (Case const& c : std::vector<Case>{{"12,5", 12, 50, "12.5"}, {"12.05", 12, 5, "12.05"},
                                           {"12.123", 12, 123, "12.123"}, {"12", 12, 0, "12.0"},
                                           {".5", 0, 50, "0.5"}, {"-0.5", 0, 50, "-0.5"}, {"", 0, 0, "0.0"}}) {
        SCOPED_TRACE(c.text);
        Amount const amount(c.text);
        EXPECT_EQ(c.integral, amount.integralPart());
        EXPECT_EQ(c.decimal, amount.decimalPart());
        EXPECT_EQ(c.printed, amount.toString());
    }
}

// More than one separator ("1,000.50") is refused, not read as 1.0.
TEST(AmountTest, RefusesWhatIsNoAmount)
{
    for (char const* text : {"1,000.50", "1..5", "abc", "-"})
        EXPECT_THROW(Amount{text}, std::invalid_argument) << text;
    EXPECT_THROW(Amount("3000000000"), std::out_of_range);
}

TEST(AmountTest, HostLocaleDoesNotChangeTheSeparator)
{
    char const* const commaLocale = "de_DE.UTF-8";
    std::string const before = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, commaLocale))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    std::locale const previousGlobal = std::locale::global(std::locale(commaLocale));
    Amount const amount("12.5");
    std::string const printed = amount.toString();
    double const value = amount.value();
    std::locale::global(previousGlobal);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ("12.5", printed);
    EXPECT_DOUBLE_EQ(12.5, value);
}
