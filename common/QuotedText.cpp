#include "common/QuotedText.h"

namespace ect {

std::string QuotedText::of(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string quoted;
    quoted.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte == '\\') {
            quoted += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            quoted += "\\x";
            quoted += digits[byte >> 4];
            quoted += digits[byte & 0x0F];
        } else {
            quoted += character;
        }
    }
    return quoted;
}

} // namespace ect
