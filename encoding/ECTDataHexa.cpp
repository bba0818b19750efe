#include "encoding/ECTDataHexa.h"

#include "encoding/StringUtils.h"

#include <cctype>
#include <vector>

namespace oxa {

namespace {

// Reads at most two characters as an unsigned hexadecimal number the way
// stream extraction does: leading blanks, an optional sign, then the digits.
unsigned char readHexPair(char const* pair)
{
    char const* const end = pair + 2;
    char const* p = pair;
    while (p != end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    unsigned int value = 0;
    for (; p != end && StringUtils::hexDigitValue(*p) >= 0; ++p)
        value = value * 16 + static_cast<unsigned int>(StringUtils::hexDigitValue(*p));
    return static_cast<unsigned char>(negative ? 0u - value : value);
}

std::vector<unsigned char> bytesOf(std::string hex)
{
    if (hex.size() % 2 != 0)
        hex.push_back('0');
    std::vector<unsigned char> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(readHexPair(hex.data() + i));
    return bytes;
}

} // namespace

ECTDataHexa::ECTDataHexa(std::string const& hex)
    : Ber::BerData(bytesOf(hex))
{
}

} // namespace oxa
