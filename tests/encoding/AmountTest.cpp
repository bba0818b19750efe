#include "encoding/Amount.h"

#include "TestBytes.h"
#include "common/ECTError.h"
#include "encoding/ECTCurrencyManager.h"

#include <gtest/gtest.h>

using encodingtest::hexOf;

namespace {

oxa::ECTCurrency euro()
{
    return *oxa::ECTCurrencyManager().currencyWithCode("EUR");
}

oxa::Amount euros(char const* text)
{
    return oxa::Amount(QString::fromUtf8(text), euro());
}

void expectRejected(char const* text)
{
    try {
        euros(text);
        ADD_FAILURE() << "accepted \"" << text << "\"";
    } catch (ect::ECTError const& error) {
        EXPECT_EQ(ect::ECTErrorCode::Rejected, error.code()) << text;
        EXPECT_EQ(ect::ECTErrorCauseCode::RetailService_InvalidAmount, error.causeCode().value()) << text;
        EXPECT_TRUE(error.extraInformationData().empty()) << text;
    }
}

} // namespace

TEST(Amount, readsWholeAndMinorUnitsUpToTheCurrencyMaximum)
{
    struct Case { char const* text; std::int64_t integral; std::int64_t decimal; };
    for (Case const& c : {Case{"12", 12, 0}, Case{"12.", 12, 0}, Case{".5", 0, 50}, Case{"12,5", 12, 50},
                          Case{"12.05", 12, 5}, Case{"007.10", 7, 10}, Case{"9999999999", 9999999999, 0},
                          Case{"9999999999.00", 9999999999, 0}}) {
        oxa::Amount const amount = euros(c.text);
        EXPECT_EQ(c.integral, amount.integralPart()) << c.text;
        EXPECT_EQ(c.decimal, amount.decimalPart()) << c.text;
    }
    EXPECT_DOUBLE_EQ(12.05, euros("12.05").value());
}

// Zero, negative, too many decimals, above the maximum, anything but digits
// and one separator ("12.5 " must not be read as 12.05).
TEST(Amount, refusesInvalidAmounts)
{
    for (char const* text : {"0", "0.00", ",", "", ".", "-5.00", "-0.50", "12.123", "12.100", "12.001", "0.000",
                             "12.5 ", " 12.5", "12 .5", "1..5", "1.2.3", "1,2.3", "12,5,", "abc", "12a", "+5", "1e3",
                             "\xC2\xBD", "٣", "9999999999.01", "10000000000", "10000000000.00",
                             "99999999999999999999999999"})
        expectRejected(text);
}

// Twelve packed digits of minor units on the wire; wide amounts keep all their digits.
TEST(Amount, wireFormAndText)
{
    struct Case { char const* text; char const* wire; char const* printed; };
    for (Case const& c : {Case{"12.5", "00 00 00 00 12 50", "12.5"}, Case{"100", "00 00 00 01 00 00", "100.0"},
                          Case{"0.05", "00 00 00 00 00 05", "0.05"}, Case{"10,10", "00 00 00 00 10 10", "10.1"},
                          Case{"9999999999", "99 99 99 99 99 00", "9999999999.0"},
                          Case{"3000000000.01", "30 00 00 00 00 01", "3000000000.01"}}) {
        EXPECT_EQ(c.wire, hexOf(euros(c.text).data())) << c.text;
        EXPECT_EQ(c.printed, euros(c.text).toString()) << c.text;
    }
    EXPECT_EQ(3000000000, euros("3000000000.01").integralPart());
    EXPECT_EQ("12 50", hexOf(euros("12.50").dataWithLength(4)));
    EXPECT_EQ("01 25", hexOf(euros("1.25").dataWithLength(0)));
}

TEST(Amount, sumAddsMinorUnitsWithCarryUpToTheMaximum)
{
    EXPECT_EQ("00 00 00 00 04 25", hexOf(oxa::Amount::sum(euros("1.60"), euros("2.65")).data()));
    EXPECT_THROW(oxa::Amount::sum(euros("9999999999.00"), euros("0.01")), ect::ECTError);
    EXPECT_THROW(oxa::Amount::sum(euros("5000000000"), euros("5000000000")), ect::ECTError);
    EXPECT_EQ(9999999999, oxa::Amount::sum(euros("9999999998.50"), euros("0.50")).integralPart());
}

TEST(Amount, currencyWithoutDecimalsTakesWholeUnitsOnly)
{
    oxa::ECTCurrency whole = euro();
    whole.decimals = 0;
    EXPECT_EQ("00 00 00 00 00 42", hexOf(oxa::Amount(QStringLiteral("42."), whole).data()));
    EXPECT_THROW(oxa::Amount(QStringLiteral("42.5"), whole), ect::ECTError);
}
