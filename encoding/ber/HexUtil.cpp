#include "encoding/ber/HexUtil.h"

#include <algorithm>
#include <cstdio>

namespace Ber {

namespace {

constexpr unsigned char notHex = 99;

// Digit values by character code; every other character is notHex.
// Built at compile time, so that parsing works during static initialisation
// of other translation units too.
struct HexDigitTable {
    unsigned char values[128];
};

constexpr HexDigitTable makeHexDigitTable()
{
    HexDigitTable table{};
    for (unsigned char& value : table.values)
        value = notHex;
    for (int i = 0; i < 10; ++i)
        table.values['0' + i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 6; ++i) {
        table.values['A' + i] = static_cast<unsigned char>(10 + i);
        table.values['a' + i] = static_cast<unsigned char>(10 + i);
    }
    return table;
}

constexpr HexDigitTable HEX_BYTES = makeHexDigitTable();

// Characters above 0x7F (negative as plain char) are not digits; they must
// never index the table.
unsigned char digitValue(char c)
{
    auto const code = static_cast<unsigned char>(c);
    return code < 128 ? HEX_BYTES.values[code] : notHex;
}

}  // namespace

BerData HexUtil::parse(std::string const& hex)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(hex.size() / 2);
    bool haveHighDigit = false;
    unsigned char high = 0;
    for (char c : hex) {
        if (c == '\0')
            break;
        unsigned char const digit = digitValue(c);
        if (digit == notHex)
            continue;
        if (haveHighDigit)
            bytes.push_back(static_cast<unsigned char>((high << 4) | digit));
        else
            high = digit;
        haveHighDigit = !haveHighDigit;
    }
    if (haveHighDigit)
        return BerData();
    return BerData(std::move(bytes));
}

std::string HexUtil::format(BerData const& data, unsigned int offset, unsigned int length)
{
    static char const digits[] = "0123456789ABCDEF";
    if (offset >= data.length())
        return std::string();
    length = std::min(length, data.length() - offset);
    std::string text;
    text.reserve(length * 2);
    for (unsigned char const* byte = data.data() + offset; length > 0; ++byte, --length) {
        text += digits[*byte >> 4];
        text += digits[*byte & 0x0F];
    }
    return text;
}

std::string HexUtil::format(BerData const& data)
{
    return format(data, 0, data.length());
}

std::string HexUtil::prettyFormat(BerData const& data)
{
    std::string text = "[" + std::to_string(data.length()) + "]";
    char digits[4];
    for (uint32_t i = 0; i < data.length(); ++i) {
        std::snprintf(digits, sizeof digits, " %02x", data.data()[i]);
        text += digits;
    }
    return text;
}

}  // namespace Ber
