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

void expectParts(char const* text, std::int64_t integral, std::int64_t decimal)
{
    oxa::Amount const amount = euros(text);
    EXPECT_EQ(integral, amount.integralPart()) << text;
    EXPECT_EQ(decimal, amount.decimalPart()) << text;
}

} // namespace

TEST(Amount, readsWholeAndMinorUnits)
{
    expectParts("12", 12, 0);
    expectParts("12.", 12, 0);
    expectParts(".5", 0, 50);
    expectParts("12,5", 12, 50);
    expectParts("12.5", 12, 50);
    expectParts("12.05", 12, 5);
    expectParts("0.05", 0, 5);
    expectParts("007.10", 7, 10);
    EXPECT_DOUBLE_EQ(12.5, euros("12,5").value());
    EXPECT_DOUBLE_EQ(12.05, euros("12.05").value());
    EXPECT_EQ("EUR", euros("1").currency().code);
}

TEST(Amount, refusesZeroAndNegativeAmounts)
{
    for (char const* text : {"0", "0.00", ",", "", ".", "-5.00", "-0.50"})
        expectRejected(text);
}

TEST(Amount, refusesMoreDecimalsThanTheCurrencyHas)
{
    for (char const* text : {"12.123", "12.100", "12.001", "0.000"})
        expectRejected(text);
}

TEST(Amount, refusesAnythingButDigitsAndOneSeparator)
{
    // "12.5 " must not be read as 12.05, nor letters as a number.
    for (char const* text : {"12.5 ", " 12.5", "12 .5", "1..5", "1.2.3", "1,2.3", "12,5,", "abc", "12a", "+5",
                             "1e3", "\xC2\xBD", "٣"})
        expectRejected(text);
}

TEST(Amount, refusesAmountsAboveTheCurrencyMaximum)
{
    expectParts("9999999999", 9999999999, 0);
    expectParts("9999999999.00", 9999999999, 0);
    expectRejected("9999999999.01");
    expectRejected("10000000000");
    expectRejected("10000000000.00");
    expectRejected("99999999999999999999999999");
}

TEST(Amount, wideAmountsKeepAllTheirDigits)
{
    oxa::Amount const amount = euros("3000000000.01");
    EXPECT_EQ(3000000000, amount.integralPart());
    EXPECT_EQ("30 00 00 00 00 01", hexOf(amount.data()));
    EXPECT_EQ("3000000000.01", amount.toString());
}

TEST(Amount, wireFormIsTwelvePackedDigitsOfMinorUnits)
{
    EXPECT_EQ("00 00 00 00 12 50", hexOf(euros("12.50").data()));
    EXPECT_EQ("00 00 00 00 00 05", hexOf(euros("0.05").data()));
    EXPECT_EQ("99 99 99 99 99 00", hexOf(euros("9999999999").data()));
    EXPECT_EQ("12 50", hexOf(euros("12.50").dataWithLength(4)));
    EXPECT_EQ("12 50", hexOf(euros("12.50").dataWithLength(2)));
    EXPECT_EQ("01 25", hexOf(euros("1.25").dataWithLength(0)));
}

TEST(Amount, printsTheShortestTextWithOneDecimal)
{
    EXPECT_EQ("12.5", euros("12.5").toString());
    EXPECT_EQ("100.0", euros("100").toString());
    EXPECT_EQ("0.05", euros("0.05").toString());
    EXPECT_EQ("10.1", euros("10,10").toString());
}

TEST(Amount, sumAddsMinorUnitsWithCarry)
{
    oxa::Amount const total = oxa::Amount::sum(euros("0.60"), euros("0.60"));
    EXPECT_EQ(1, total.integralPart());
    EXPECT_EQ(20, total.decimalPart());
    EXPECT_DOUBLE_EQ(1.2, total.value());
    oxa::Amount const other = oxa::Amount::sum(euros("1.50"), euros("2.75"));
    EXPECT_EQ(4, other.integralPart());
    EXPECT_EQ(25, other.decimalPart());
    EXPECT_EQ("00 00 00 00 04 25", hexOf(other.data()));
}

TEST(Amount, sumIsCheckedAgainstTheMaximum)
{
    EXPECT_THROW(oxa::Amount::sum(euros("9999999999.00"), euros("0.01")), ect::ECTError);
    EXPECT_THROW(oxa::Amount::sum(euros("5000000000"), euros("5000000000")), ect::ECTError);
    EXPECT_EQ(9999999999, oxa::Amount::sum(euros("9999999998.50"), euros("0.50")).integralPart());
}

TEST(Amount, currencyWithoutDecimalsTakesWholeUnitsOnly)
{
    oxa::ECTCurrency whole = euro();
    whole.decimals = 0;
    oxa::Amount const amount(QStringLiteral("42."), whole);
    EXPECT_EQ(42, amount.integralPart());
    EXPECT_EQ("00 00 00 00 00 42", hexOf(amount.data()));
    EXPECT_EQ("42.0", amount.toString());
    EXPECT_THROW(oxa::Amount(QStringLiteral("42.5"), whole), ect::ECTError);
}
