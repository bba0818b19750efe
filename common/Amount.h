#pragma once

#include <cstdint>
#include <string>

namespace ect {

// An amount handed to a client transaction, read from text with a point or a
// comma as decimal separator. Carries no currency and no range check: the
// sale checks the amount against its currency.
class Amount {
public:
    // Reads the whole text: blanks around it, an optional sign, digits with
    // at most one separator ("12.50", "12,5", ".5", "5.", "-12.5"); a text
    // of blanks or none reads as 0. Anything else ("1 250", "12.50 EUR",
    // "1e3", "0x1A", "inf", "1,000.50") throws std::invalid_argument, more
    // than 18 digits on either side of the separator std::out_of_range; both
    // name the text.
    explicit Amount(std::string const& text);

    double value() const;
    // Signed; -0.5 has integral part 0, its sign is in value() and toString().
    std::int64_t integralPart() const;
    // The digits after the separator as a number, one digit counting as
    // tenths: "12.5" gives 50, "12.05" 5, "12.123" 123.
    std::int64_t decimalPart() const;
    // The amount as read, with a point, trailing zeros of the fraction
    // dropped but one: "12.5", "100.0", "12.123".
    std::string toString() const;

private:
    std::int64_t integralPart_ = 0;
    std::int64_t decimalPart_ = 0;
    double value_ = 0.0;
    std::string text_ = "0.0";
};

} // namespace ect
