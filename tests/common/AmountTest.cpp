#include "common/Amount.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <sstream>
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
                                           {".5", 0, 50, "0.5"}, {"-0.5", 0, 50, "-0.5"}, {"", 0, 0, "0.0"},
                                           // read whole: blanks around, a sign, numbers beyond 32 bits
                                           {" \t12.50\n", 12, 50, "12.5"}, {"5.", 5, 0, "5.0"},
                                           {"-12.5", -12, 50, "-12.5"}, {"+0012,05", 12, 5, "12.05"},
                                           {"9999999999", 9999999999, 0, "9999999999.0"},
                                           {"3000000000.99", 3000000000, 99, "3000000000.99"},
                                           {"12.1234567", 12, 1234567, "12.1234567"}, {"-0", 0, 0, "0.0"}}) {
        SCOPED_TRACE(c.text);
        Amount const amount(c.text);
        EXPECT_EQ(c.integral, amount.integralPart());
        EXPECT_EQ(c.decimal, amount.decimalPart());
        EXPECT_EQ(c.printed, amount.toString());
        // The value is what is printed, so what is sent.
        std::istringstream printed(amount.toString());
        printed.imbue(std::locale::classic());
        double printedValue = 0.0;
        printed >> printedValue;
        EXPECT_EQ(printedValue, amount.value());
    }
}

namespace {

// The message of a refusal of that type; what the text was read as otherwise.
template <typename Refusal>
std::string refusalOf(std::string const& text)
{
    try {
        return "read as " + Amount(text).toString();
    } catch (Refusal const& refusal) {
        return refusal.what();
    }
}

} // namespace

// More than one separator ("1,000.50"), a group separator or trailing text
// is refused, not read up to it: "1 250" would be sold for 1.00.
TEST(AmountTest, RefusesWhatIsNoAmount)
{
    for (std::string const text : {"1,000.50", "1..5", "abc", "-", "1 250", "1\u202F250,00", "1'250.00", "1_000",
                                   "12.5abc", "12.50 EUR", "0x1A", "1e3", "1e-2", "inf", "nan", "- 5", ".", "+-5"}) {
        std::string const message = refusalOf<std::invalid_argument>(text);
        EXPECT_NE(message.find('"' + text + '"'), std::string::npos) << text << ": " << message;
    }
    for (std::string const text : {"1234567890123456789", "0.1234567890123456789"}) {
        std::string const message = refusalOf<std::out_of_range>(text);
        EXPECT_NE(message.find('"' + text + '"'), std::string::npos) << text << ": " << message;
    }
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
