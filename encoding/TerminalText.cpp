#include "encoding/TerminalText.h"

#include <cstdint>
#include <cstring>
#include <utility>

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
    // Most letters of a text take two bytes: told first.
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(text[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
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

// Whether the text holds a well-formed multi-byte sequence. Each has a
// continuation byte second: words without one are skipped whole, which keeps
// a long text in ISO 8859-1 cheap to tell.
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

// A text read as UTF-8, with what the reading met.
struct Utf8Reading {
    QString text;                 // each bad byte a U+FFFD
    std::size_t letters = 0;      // whole multi-byte letters
    std::size_t badBytes = 0;
    std::size_t firstBadByte = 0; // its offset, when there is one
    bool controlByte = false;     // a bad byte from 80 to 9F
};

void noteBadByte(Utf8Reading& reading, std::size_t at, unsigned char byte)
{
    if (reading.badBytes++ == 0)
        reading.firstBadByte = at;
    reading.controlByte = reading.controlByte || byte < 0xA0;
}

// The letter of a well-formed multi-byte sequence.
char32_t letterOf(unsigned char const* sequence, std::size_t length)
{
    char32_t const last = sequence[length - 1] & 0x3F;
    switch (length) {
    case 2:
        return char32_t(sequence[0] & 0x1F) << 6 | last;
    case 3:
        return char32_t(sequence[0] & 0x0F) << 12 | char32_t(sequence[1] & 0x3F) << 6 | last;
    default:
        return char32_t(sequence[0] & 0x07) << 18 | char32_t(sequence[1] & 0x3F) << 12
               | char32_t(sequence[2] & 0x3F) << 6 | last;
    }
}

// Writes a letter in one or two UTF-16 units.
QChar* writeLetter(QChar* out, char32_t letter)
{
    if (QChar::requiresSurrogates(letter)) {
        *out++ = QChar(QChar::highSurrogate(letter));
        *out++ = QChar(QChar::lowSurrogate(letter));
    } else {
        *out++ = QChar(static_cast<ushort>(letter));
    }
    return out;
}

bool startsWithByteOrderMark(unsigned char const* text, std::size_t size)
{
    return size >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF;
}

// The text as QString::fromUtf8 reads it (a byte-order mark at its start left
// out, each bad byte a U+FFFD), counted as it is read: one pass where
// fromUtf8 and a count of its own would take two.
Utf8Reading readUtf8(unsigned char const* text, std::size_t size)
{
    // Never more UTF-16 units than bytes.
    Utf8Reading reading{QString(static_cast<int>(size), Qt::Uninitialized)};
    QChar* const begin = reading.text.data();
    QChar* out = begin;
    unsigned char const* const end = text + size;
    for (unsigned char const* in = text + (startsWithByteOrderMark(text, size) ? 3 : 0); in < end;) {
        if (*in < 0x80) {
            *out++ = QChar(static_cast<ushort>(*in++));
            continue;
        }
        std::size_t const length = sequenceLength(in, static_cast<std::size_t>(end - in));
        if (length == 0) {
            noteBadByte(reading, static_cast<std::size_t>(in - text), *in);
            *out++ = QChar(QChar::ReplacementCharacter);
            ++in;
        } else {
            ++reading.letters;
            out = writeLetter(out, letterOf(in, length));
            in += length;
        }
    }
    reading.text.resize(static_cast<int>(out - begin));
    return reading;
}

// In ISO 8859-1 an accented capital or a sharp s before a sign from A0 to BF
// ("É" and a no-break space) makes a well-formed UTF-8 letter, so one letter
// proves little: the bad bytes around it weigh against it, unless they can
// only be a text cut short or C1 controls, which no ISO 8859-1 text holds.
bool readsAsUtf8(Utf8Reading const& reading, std::size_t size)
{
    return reading.badBytes == 0 || reading.firstBadByte + 3 >= size || reading.letters > reading.badBytes
           || reading.controlByte;
}

} // namespace

QString terminalText(char const* bytes, std::size_t size)
{
    auto const text = reinterpret_cast<unsigned char const*>(bytes);
    if (holdsUtf8Letter(text, size)) {
        Utf8Reading reading = readUtf8(text, size);
        if (readsAsUtf8(reading, size))
            return std::move(reading.text);
    }
    return QString::fromLatin1(bytes, static_cast<int>(size));
}

QString terminalText(Ber::BerTlv const& element)
{
    std::string const text = element.textValue();
    return terminalText(text.data(), text.size());
}

} // namespace oxa
