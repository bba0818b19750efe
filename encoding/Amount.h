#pragma once

#include "encoding/ECTCurrency.h"
#include "encoding/ber/BerData.h"

#include <QString>

#include <cstdint>
#include <string>

namespace oxa {

// An amount of money in a currency as the terminal protocol carries it: 12
// decimal digits of minor units in packed BCD. A constructed amount is
// positive, has at most the currency's decimals and does not exceed its maximum.
class Amount {
public:
    // Digits with at most one decimal separator ('.' or ','), such as "12",
    // "12.5", "12,05" or ".5". Anything else, a zero amount, more decimals
    // than the currency has or more than its maximum throws ect::ECTError
    // (Rejected, RetailService_InvalidAmount).
    Amount(QString const& text, ECTCurrency currency);

    double value() const;
    std::int64_t integralPart() const;
    std::int64_t decimalPart() const;
    ECTCurrency currency() const;

    // The minor units as at least digitCount decimal digits, packed BCD;
    // never cut.
    Ber::BerData dataWithLength(int digitCount) const;
    // The wire form: 12 digits, 6 bytes.
    Ber::BerData data() const;
    // Shortest decimal text with at least one decimal: "12.5", "100.0".
    std::string toString() const;

    // The total in a's currency; throws like the constructor when it
    // exceeds the maximum.
    static Amount sum(Amount a, Amount b);

    static constexpr int kWireDigits = 12;

private:
    Amount(std::int64_t minorUnits, ECTCurrency currency);

    std::int64_t unit() const;
    std::int64_t minorUnits() const;
    void assignMinorUnits(std::int64_t minorUnits);
    std::string decimalDigits() const;

    std::int64_t m_integralPart = 0;
    std::int64_t m_decimalPart = 0;
    double m_value = 0.0;
    ECTCurrency m_currency;
};

} // namespace oxa
