#include "encoding/ECTDataZUVADigital.h"

#include <cctype>
#include <vector>

namespace oxa {

namespace {

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads at most two characters as a decimal int: leading blanks, an optional
// sign, then the digits; no digit at all gives 0.
int readDecimalPair(char const* pair)
{
    char const* const end = pair + 2;
    char const* p = pair;
    while (p != end && isBlank(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    int value = 0;
    for (; p != end && isDigit(*p); ++p)
        value = value * 10 + (*p - '0');
    return negative ? -value : value;
}

unsigned char packedByte(int twoDigits)
{
    return static_cast<unsigned char>((twoDigits / 10) * 16 + twoDigits % 10);
}

std::vector<unsigned char> packDigits(std::string digits)
{
    if (digits.size() % 2 != 0)
        digits.insert(digits.begin(), '0');
    std::vector<unsigned char> bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(packedByte(readDecimalPair(digits.data() + i)));
    return bytes;
}

std::string paddedDigits(std::int64_t value, int minimumDigits)
{
    std::string digits = std::to_string(value);
    if (digits.size() % 2 != 0)
        digits.insert(digits.begin(), '0');
    if (minimumDigits > 0 && digits.size() < static_cast<std::size_t>(minimumDigits))
        digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    return digits;
}

} // namespace

ECTDataZUVADigital::ECTDataZUVADigital(std::string const& digits)
    : Ber::BerData(packDigits(digits))
{
}

ECTDataZUVADigital::ECTDataZUVADigital(std::int64_t value, int minimumDigits)
    : Ber::BerData(packDigits(paddedDigits(value, minimumDigits)))
{
}

} // namespace oxa
