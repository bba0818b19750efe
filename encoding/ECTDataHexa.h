#pragma once

#include "encoding/ber/BerData.h"

#include <string>

namespace oxa {

// The bytes spelled by hexadecimal text, one byte per pair of characters.
// An odd text gets a '0' appended ("ABC" is AB C0); a pair without a leading
// hexadecimal digit gives 00.
class ECTDataHexa : public Ber::BerData {
public:
    explicit ECTDataHexa(std::string const& hex);
};

} // namespace oxa
