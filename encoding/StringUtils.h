#pragma once

#include <string>

namespace oxa {

// Bit text ('0' and '1', most significant bit first, four characters per
// hexadecimal digit) to and from hexadecimal text, and case changes.
// Malformed input is converted by skipping what does not fit; nothing throws.
class StringUtils {
public:
    // False for a position outside the text, else whether its character is not '0'.
    static bool binaryStringBitSetAtPosition(std::string bits, int position);
    static std::string uppercaseString(std::string text);
    static std::string lowercaseString(std::string text);
    // Whole groups of four bits only; a group with another character adds nothing.
    static std::string convertBinaryToHexa(std::string bits);
    // Upper-case hexadecimal digits only; other characters add nothing.
    static std::string convertHexaToBinary(std::string hex);

    // 0 to 15 for a hexadecimal digit of either case, else -1; any char value.
    static int hexDigitValue(char c);
    // The number at the start of the text as stream extraction reads it in
    // base 10 or 16: leading blanks, an optional sign, then the digits; no
    // digit at all gives 0.
    static long leadingNumber(std::string const& text, int base);
};

} // namespace oxa
