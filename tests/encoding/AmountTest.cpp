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

} // namespace

// Twelve packed digits of minor units on the wire; wide amounts keep all their digits.
TEST(Amount, readsWireFormAndTextUpToTheCurrencyMaximum)
{
    struct Case { char const* text; char const* wire; char const* printed; };
    for (Case const& c : {Case{".5", "00 00 00 00 00 50", "0.5"}, Case{"007,05", "00 00 00 00 07 05", "7.05"},
                          Case{"9999999999.00", "99 99 99 99 99 00", "9999999999.0"},
                          Case{"3000000000.01", "30 00 00 00 00 01", "3000000000.01"}}) {
        EXPECT_EQ(c.wire, hexOf(euros(c.text).data())) << c.text;
        EXPECT_EQ(c.printed, euros(c.text).toString()) << c.text;
    }
    EXPECT_EQ("12 50", hexOf(euros("12.50").dataWithLength(4)));
}

// Zero, negative, too many decimals, above the maximum, anything but digits
// and one separator ("12.5 " must not be read as 12.05).
TEST(Amount, refusesInvalidAmounts)
{
    for (char const* text : {"0.00", "", "-5.00", "12.100", "12.5 ", "1.2.3", "12a", "+5", "\xC2\xBD",
                             "9999999999.01", "99999999999999999999999999"}) {
        try {
            euros(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (ect::ECTError const& error) {
            EXPECT_EQ(ect::ECTErrorCode::Rejected, error.code()) << text;
            EXPECT_EQ(ect::ECTErrorCauseCode::RetailService_InvalidAmount, error.causeCode().value()) << text;
        }
    }
}

TEST(Amount, sumAddsMinorUnitsWithCarryUpToTheMaximum)
{
    EXPECT_EQ("00 00 00 00 04 25", hexOf(oxa::Amount::sum(euros("1.60"), euros("2.65")).data()));
    EXPECT_THROW(oxa::Amount::sum(euros("9999999999.00"), euros("0.01")), ect::ECTError);
}

// The numeric code with or without its leading zero; the alphabetic one in any case.
// The known currencies are the ones the host guide lists, each with two decimals.
TEST(ECTCurrencyManager, findsByEitherCodeIgnoringCaseAndTheNumbersLeadingZero)
{
    oxa::ECTCurrencyManager const manager;
    struct Known {
        char const* code;
        char const* zuvaCode;
    };
    for (Known known : {Known{"EUR", "0978"}, Known{"GBP", "0826"}, Known{"CZK", "0203"}, Known{"NOK", "0578"},
                        Known{"DKK", "0208"}, Known{"SEK", "0752"}}) {
        oxa::ECTCurrency const currency = manager.currencyWithCode(known.code).value_or(oxa::ECTCurrency());
        EXPECT_EQ(known.zuvaCode, currency.zuvaCode) << known.code;
        EXPECT_EQ(2, currency.decimals) << known.code;
    }
    for (char const* code : {"USD", "CHF", ""})
        EXPECT_FALSE(manager.currencyWithCode(code)) << code;
    for (char const* code : {"978", "0978"})
        EXPECT_EQ("EUR", manager.currencyWithZuvaCode(code).value_or(oxa::ECTCurrency()).code) << code;
    EXPECT_EQ("GBP", manager.currencyWithCode("gBp").value_or(oxa::ECTCurrency()).code);
    for (char const* code : {"097", "0840", " 978", ""})
        EXPECT_FALSE(manager.currencyWithZuvaCode(code)) << code;
}
