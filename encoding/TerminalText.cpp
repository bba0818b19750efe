#include "encoding/TerminalText.h"

#include <cstdint>
#include <cstring>

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

// Whether a byte from the one at from up to the one before to is the second
// of a well-formed multi-byte sequence.
bool holdsSecondByte(unsigned char const* text, std::size_t size, std::size_t from, std::size_t to)
{
    for (std::size_t at = from; at < to; ++at) {
        if (isContinuation(text[at]) && sequenceLength(text + at - 1, size - at + 1) > 1)
            return true;
    }
    return false;
}

using Word = std::uintptr_t;
Word const kHighBits = ~Word(0) / 0xFF * 0x80;

// Bit 7 set and bit 6 clear in one of its bytes.
bool holdsContinuation(Word word)
{
    return (word & ~(word << 1) & kHighBits) != 0;
}

// A well-formed multi-byte sequence hardly ever comes out of ISO 8859-1 text
// (it takes a capital A with a tilde or the like before a symbol), so one is
// enough to take the text for UTF-8, cut or stray bytes and all. Each such
// sequence has a continuation byte second: words without one are skipped
// whole, which keeps a long text in ISO 8859-1 cheap to tell.
bool holdsUtf8Letter(unsigned char const* text, std::size_t size)
{
    if (size <= sizeof(Word))
        return holdsSecondByte(text, size, 1, size);
    auto const wordHolds = [text, size](std::size_t at) {
        Word word;
        std::memcpy(&word, text + at, sizeof word);
        return holdsContinuation(word) && holdsSecondByte(text, size, at, at + sizeof(Word));
    };
    for (std::size_t at = 1; at + sizeof(Word) < size; at += sizeof(Word)) {
        if (wordHolds(at))
            return true;
    }
    // The last bytes as a word too, overlapping the one before.
    return wordHolds(size - sizeof(Word));
}

} // namespace

QString terminalText(char const* bytes, std::size_t size)
{
    int const length = static_cast<int>(size);
    if (holdsUtf8Letter(reinterpret_cast<unsigned char const*>(bytes), size))
        return QString::fromUtf8(bytes, length);
    return QString::fromLatin1(bytes, length);
}

QString terminalText(Ber::BerTlv const& element)
{
    std::string const text = element.textValue();
    return terminalText(text.data(), text.size());
}

} // namespace oxa
