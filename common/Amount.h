#pragma once

#include <cstdint>
#include <string>

namespace ect {

// An amount handed to a client transaction, parsed from text with a point
// or a comma as decimal separator. Carries no currency and no range check.
class Amount {
public:
    // Throws std::invalid_argument for a text with more than one separator or
    // a piece without a number, std::out_of_range for a piece beyond 32 bits.
    explicit Amount(std::string const& text);

    double value() const;
    std::int64_t integralPart() const;
    std::int64_t decimalPart() const;
    // "%f" with trailing zeros removed, a final point given one "0" back.
    std::string toString() const;

private:
    std::int64_t integralPart_ = 0;
    std::int64_t decimalPart_ = 0;
    double value_ = 0.0;
};

} // namespace ect
