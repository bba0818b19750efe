#include "common/QuotedText.h"

#include <cstddef>

namespace ect {
namespace {

unsigned byteAt(const std::string& text, std::size_t at)
{
    return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
}

// Bytes of the control or line break that starts at 'at', 0 when none does.
std::size_t controlLength(const std::string& text, std::size_t at)
{
    const unsigned first = byteAt(text, at);
    if (first < 0x20 || first == 0x7F)
        return 1;
    // C1 controls, the next line U+0085 among them, in UTF-8.
    if (first == 0xC2 && byteAt(text, at + 1) >= 0x80 && byteAt(text, at + 1) <= 0x9F)
        return 2;
    // The line and paragraph separators U+2028 and U+2029.
    if (first == 0xE2 && byteAt(text, at + 1) == 0x80 && (byteAt(text, at + 2) & 0xFE) == 0xA8)
        return 3;
    return 0;
}

} // namespace

std::string QuotedText::of(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string quoted;
    quoted.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t control = controlLength(text, at);
        if (control == 0) {
            if (text[at] == '\\')
                quoted += '\\';
            quoted += text[at++];
        }
        for (const std::size_t end = at + control; at < end; ++at) {
            quoted += "\\x";
            quoted += digits[byteAt(text, at) >> 4];
            quoted += digits[byteAt(text, at) & 0x0F];
        }
    }
    return quoted;
}

} // namespace ect
