#pragma once

#include <cstdint>

namespace ect {

// One-bit card-brand flags, combined by bitwise or into a signed 32-bit mask
// (bit 31 is the sign bit). The flags are known by their bit number only.
enum CardBrandIdentifier : std::uint32_t {
    CardBrandBit0 = 1u << 0,   CardBrandBit1 = 1u << 1,   CardBrandBit2 = 1u << 2,
    CardBrandBit3 = 1u << 3,   CardBrandBit4 = 1u << 4,   CardBrandBit5 = 1u << 5,
    CardBrandBit6 = 1u << 6,   CardBrandBit7 = 1u << 7,   CardBrandBit8 = 1u << 8,
    CardBrandBit9 = 1u << 9,   CardBrandBit10 = 1u << 10, CardBrandBit11 = 1u << 11,
    CardBrandBit12 = 1u << 12, CardBrandBit13 = 1u << 13, CardBrandBit14 = 1u << 14,
    CardBrandBit15 = 1u << 15, CardBrandBit16 = 1u << 16, CardBrandBit17 = 1u << 17,
    CardBrandBit18 = 1u << 18, CardBrandBit19 = 1u << 19, CardBrandBit20 = 1u << 20,
    CardBrandBit21 = 1u << 21, CardBrandBit22 = 1u << 22, CardBrandBit23 = 1u << 23,
    CardBrandBit24 = 1u << 24, CardBrandBit25 = 1u << 25, CardBrandBit26 = 1u << 26,
    CardBrandBit27 = 1u << 27, CardBrandBit28 = 1u << 28, CardBrandBit29 = 1u << 29,
    CardBrandBit30 = 1u << 30, CardBrandBit31 = 1u << 31,
};

} // namespace ect
