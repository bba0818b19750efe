#pragma once

#include "encoding/ber/BerData.h"

#include <string>

namespace Ber {

// Hexadecimal text to bytes and back.
class HexUtil {
public:
    // Reads up to the first zero character; characters that are not hex
    // digits are skipped. An odd number of digits gives empty bytes.
    static BerData parse(std::string const& hex);
    // Upper-case, two digits per byte, no separators. The range is clipped
    // to the data.
    static std::string format(BerData const& data, unsigned int offset, unsigned int length);
    static std::string format(BerData const& data);
    // "[2] 0a 1b"
    static std::string prettyFormat(BerData const& data);
};

}  // namespace Ber
