#include "encoding/ECTDataZUVADigital.h"

#include "encoding/StringUtils.h"

#include <vector>

namespace oxa {

namespace {

unsigned char packedByte(long twoDigits)
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
        bytes.push_back(packedByte(StringUtils::leadingNumber(digits.substr(i, 2), 10)));
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
