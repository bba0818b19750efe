#include "common/Amount.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <stdexcept>

using ect::Amount;

namespace {

void expectAmount(std::string const& text, std::int64_t integral, std::int64_t decimal, double value,
                  std::string const& printed)
{
    Amount const amount(text);
    EXPECT_EQ(integral, amount.integralPart()) << text;
    EXPECT_EQ(decimal, amount.decimalPart()) << text;
    EXPECT_DOUBLE_EQ(value, amount.value()) << text;
    EXPECT_EQ(printed, amount.toString()) << text;
}

} // namespace

TEST(AmountTest, Parsing)
{
    expectAmount("12.5", 12, 50, 12.5, "12.5");
    expectAmount("12,5", 12, 50, 12.5, "12.5");
    expectAmount("12.05", 12, 5, 12.05, "12.05");
    expectAmount("12.50", 12, 50, 12.5, "12.5");
    expectAmount("12.123", 12, 123, 12.123, "12.123");
    expectAmount("12", 12, 0, 12.0, "12.0");
    expectAmount(".5", 0, 50, 0.5, "0.5");
    expectAmount(",5", 0, 50, 0.5, "0.5");
    expectAmount("5.", 5, 0, 5.0, "5.0");
    expectAmount("", 0, 0, 0.0, "0.0");
    expectAmount("-12.5", -12, 50, -12.5, "-12.5");
    expectAmount("-0.5", 0, 50, -0.5, "-0.5");
    expectAmount("12.5x", 12, 5, 12.5, "12.5");
}

TEST(AmountTest, Printing)
{
    EXPECT_EQ("0.0", Amount("0.0000001").toString());
    EXPECT_EQ("100.0", Amount("100").toString());
    EXPECT_EQ("0.005", Amount("0.005").toString());
}

TEST(AmountTest, MoreThanOneSeparatorIsRefused)
{
    for (char const* text : {"1,000.50", "1,234.56", "1.2.3", "1..5", "1,,5", ".."})
        EXPECT_THROW(Amount{text}, std::invalid_argument) << text;
}

TEST(AmountTest, PiecesWithoutNumbers)
{
    for (char const* text : {"abc", "-", "x.5", "1.x"})
        EXPECT_THROW(Amount{text}, std::invalid_argument) << text;
    EXPECT_THROW(Amount("3000000000"), std::out_of_range);
    EXPECT_THROW(Amount("1.12345678901"), std::out_of_range);
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
