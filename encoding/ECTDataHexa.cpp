#include "encoding/ECTDataHexa.h"

#include "encoding/StringUtils.h"

#include <vector>

namespace oxa {

namespace {

std::vector<unsigned char> bytesOf(std::string hex)
{
    if (hex.size() % 2 != 0)
        hex.push_back('0');
    std::vector<unsigned char> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(StringUtils::leadingNumber(hex.substr(i, 2), 16)));
    return bytes;
}

} // namespace

ECTDataHexa::ECTDataHexa(std::string const& hex)
    : Ber::BerData(bytesOf(hex))
{
}

} // namespace oxa
