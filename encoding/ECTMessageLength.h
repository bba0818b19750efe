#pragma once

#include "encoding/ber/BerData.h"

#include <cstdint>

namespace oxa {

// The body length of a message: 0 to 9999 bytes, on the wire as four decimal
// digits in two packed-BCD bytes (66 is 00 66). Out-of-range values are
// written to the certification log and become 0; nothing throws.
class ECTMessageLength {
public:
    ECTMessageLength() = default;
    explicit ECTMessageLength(int length);
    // The two Len bytes of a header, read by their leading decimal digits.
    explicit ECTMessageLength(Ber::BerData const& data);

    int length() const;
    Ber::BerData data() const;

    static constexpr int kMaximum = 9999;

private:
    void assign(std::int64_t length);

    std::int32_t m_length = 0;
};

} // namespace oxa
