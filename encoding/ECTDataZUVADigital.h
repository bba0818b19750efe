#pragma once

#include "encoding/ber/BerData.h"

#include <cstdint>
#include <string>

namespace oxa {

// A decimal number as packed BCD: two digits per byte, the first digit in the
// high nibble; an odd count of digits gets a leading 0 ("978" is 09 78).
class ECTDataZUVADigital : public Ber::BerData {
public:
    // Each pair of characters is read as a decimal int the way stream
    // extraction reads one (no digit at all gives 0).
    explicit ECTDataZUVADigital(std::string const& digits);
    // The number zero-padded to at least minimumDigits digits, rounded up to
    // an even count; longer numbers keep all their digits.
    ECTDataZUVADigital(std::int64_t value, int minimumDigits);
};

} // namespace oxa
