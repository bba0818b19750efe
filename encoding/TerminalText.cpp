#include "encoding/TerminalText.h"

namespace oxa {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence at the text's start, or 0: no
// overlong form, no surrogate, nothing above U+10FFFF.
std::size_t sequenceLength(unsigned char const* text, std::size_t left)
{
    unsigned char const lead = text[0];
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (left < length || text[1] < low || text[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(text[i]))
            return 0;
    }
    return length;
}

bool isUtf8(unsigned char const* text, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) {
        std::size_t const length = sequenceLength(text + at, size - at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

} // namespace

QString terminalText(char const* bytes, std::size_t size)
{
    int const length = static_cast<int>(size);
    if (isUtf8(reinterpret_cast<unsigned char const*>(bytes), size))
        return QString::fromUtf8(bytes, length);
    return QString::fromLatin1(bytes, length);
}

QString terminalText(Ber::BerTlv const& element)
{
    std::string const text = element.textValue();
    return terminalText(text.data(), text.size());
}

} // namespace oxa
