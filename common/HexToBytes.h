#pragma once

#include <string>
#include <vector>

namespace ect {

// Lenient hexadecimal decoding: every (at most) two characters become one
// byte read as by strtol in base 16; nothing is validated.
std::vector<unsigned char> HexToBytes(std::string const& hexa);

} // namespace ect
