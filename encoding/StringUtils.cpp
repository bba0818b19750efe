#include "encoding/StringUtils.h"

#include <array>
#include <cctype>

namespace oxa {

namespace {

char const* const kBitGroups[16] = {
    "0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
    "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111",
};

char const kUpperHexDigits[] = "0123456789ABCDEF";

// Indexed by the character read as unsigned, so bytes above 0x7F are safe.
std::array<signed char, 256> makeHexDigitTable()
{
    std::array<signed char, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<signed char>(10 + i);
        table['a' + i] = static_cast<signed char>(10 + i);
    }
    return table;
}

std::array<signed char, 256> const kHexDigitTable = makeHexDigitTable();

int bitGroupValue(std::string const& bits, std::size_t offset)
{
    int value = 0;
    for (std::size_t i = offset; i < offset + 4; ++i) {
        if (bits[i] != '0' && bits[i] != '1')
            return -1;
        value = value * 2 + (bits[i] - '0');
    }
    return value;
}

bool isUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

bool StringUtils::binaryStringBitSetAtPosition(std::string bits, int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= bits.size())
        return false;
    return bits[static_cast<std::size_t>(position)] != '0';
}

std::string StringUtils::uppercaseString(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string StringUtils::lowercaseString(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string StringUtils::convertBinaryToHexa(std::string bits)
{
    std::string hex;
    for (std::size_t offset = 0; offset + 4 <= bits.size(); offset += 4) {
        int const value = bitGroupValue(bits, offset);
        if (value >= 0)
            hex.push_back(kUpperHexDigits[value]);
    }
    return hex;
}

std::string StringUtils::convertHexaToBinary(std::string hex)
{
    std::string bits;
    for (char c : hex) {
        if (isUpperHexDigit(c))
            bits += kBitGroups[hexDigitValue(c)];
    }
    return bits;
}

int StringUtils::hexDigitValue(char c)
{
    return kHexDigitTable[static_cast<unsigned char>(c)];
}

long StringUtils::leadingNumber(std::string const& text, int base)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size(); ++i) {
        int const digit = hexDigitValue(text[i]);
        if (digit < 0 || digit >= base)
            break;
        value = value * base + digit;
    }
    return negative ? -value : value;
}

} // namespace oxa
