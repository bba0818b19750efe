#pragma once

#include "encoding/ber/BerData.h"

#include <cstdint>

namespace oxa {

// The message sequence number, 0 to 99, on the wire as one packed-BCD byte.
class ECTMessageSequenceNumber {
public:
    ECTMessageSequenceNumber() = default;
    // Throws std::invalid_argument "invalid sequence nr" outside 0 to 99.
    explicit ECTMessageSequenceNumber(int value);
    // The D1 bytes of a body; anything outside 0 to 99 gives 0.
    explicit ECTMessageSequenceNumber(Ber::BerData const& data);

    int value() const;
    Ber::BerData data() const;

    static constexpr int kMaximum = 99;

private:
    std::int32_t m_value = 0;
};

} // namespace oxa
