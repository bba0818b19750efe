#pragma once

#include "encoding/ber/BerData.h"

#include <cstdint>
#include <string>

namespace oxa {

// One supported currency, as the currency table describes it.
struct ECTCurrency {
    std::string code;                         // alphabetic ISO 4217 code, "EUR"
    std::string name;                         // "Euro"
    std::int32_t decimals = 0;                // minor-unit digits
    std::int64_t maximumTransactionAmount = 0; // in major units
    std::string zuvaCode;                     // numeric code as 4 digits, "0978"
    bool cashbackAllowed = false;

    // The numeric code as two packed-BCD bytes (09 78).
    Ber::BerData data() const;
    // "[0978 - EUR] Euro : 2 decimal(s), maximum transaction amount: ..., cashback allowed: No"
    std::string description() const;
};

} // namespace oxa
