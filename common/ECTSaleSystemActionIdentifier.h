#pragma once

#include "common/ECTData.h"

#include <cstdint>

namespace ect {

// The sale system's identifier of one action: always exactly 4 bytes,
// read as a big-endian number.
class ECTSaleSystemActionIdentifier : public ECTData {
public:
    ECTSaleSystemActionIdentifier();
    ECTSaleSystemActionIdentifier(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3);
    explicit ECTSaleSystemActionIdentifier(unsigned long value);
    // Throws ECTError (Technical_Issue, cause 51, "reason") unless data holds 4 bytes.
    explicit ECTSaleSystemActionIdentifier(ECTData data);

    std::uint32_t value() const;
};

} // namespace ect
