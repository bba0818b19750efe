#include "common/HexToBytes.h"

#include <cstdlib>

namespace ect {

std::vector<unsigned char> HexToBytes(std::string const& hexa)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(hexa.size() / 2 + 1);
    for (std::string::size_type position = 0; position < hexa.size(); position += 2) {
        std::string const pair = hexa.substr(position, 2);
        bytes.push_back(static_cast<unsigned char>(std::strtol(pair.c_str(), nullptr, 16) & 0xFF));
    }
    return bytes;
}

} // namespace ect
