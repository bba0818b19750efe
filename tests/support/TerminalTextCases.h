#pragma once

#include <QString>

#include <string>
#include <vector>

namespace testsupport {

// A text as a terminal sends it, and what a register reads of it.
struct TerminalTextCase {
    std::string bytes;
    QString read;
};

namespace terminaltext {

inline TerminalTextCase operator+(TerminalTextCase text, TerminalTextCase const& more)
{
    text.bytes += more.bytes;
    text.read += more.read;
    return text;
}

inline TerminalTextCase times(int count, TerminalTextCase const& text)
{
    TerminalTextCase repeated;
    for (int i = 0; i < count; ++i)
        repeated = repeated + text;
    return repeated;
}

// Letters written in UTF-8.
inline TerminalTextCase utf8(char const* letters)
{
    return {letters, QString::fromUtf8(letters)};
}

// The same letters written in ISO 8859-1.
inline TerminalTextCase iso(char const* letters)
{
    QString const read = QString::fromUtf8(letters);
    return {read.toLatin1().toStdString(), read};
}

// Bytes no letter is made of: each read as U+FFFD.
inline TerminalTextCase bad(std::string const& bytes)
{
    return {bytes, QString(static_cast<int>(bytes.size()), QChar(QChar::ReplacementCharacter))};
}

// A text that reads as well in the other code, read in that one.
inline TerminalTextCase readAsUtf8(TerminalTextCase const& text)
{
    return {text.bytes, QString::fromUtf8(text.bytes.data(), static_cast<int>(text.bytes.size()))};
}

inline TerminalTextCase readAsIso(TerminalTextCase const& text)
{
    return {text.bytes, QString::fromLatin1(text.bytes.data(), static_cast<int>(text.bytes.size()))};
}

} // namespace terminaltext

// Texts of terminals writing ISO 8859-1 and of terminals writing UTF-8 and
// cutting it to a byte length, up to 4,096 bytes. In ISO 8859-1 "É" before a
// no-break space, "®" or "»" makes a well-formed UTF-8 letter.
inline std::vector<TerminalTextCase> terminalTextCases()
{
    using namespace terminaltext;
    TerminalTextCase const cafes = times(409, iso("Café "));
    TerminalTextCase const pair = iso("É\u00A0");
    return {
        iso("Café"), iso("DÉBIT\u00A0» OK"), iso("«PAYÉ»"), iso("«É» été"), iso("20°C Â±1"),
        iso("Débit effectué. Merci, à bientôt! PAYÉ\u00A012,50"), times(50, iso("Café ")) + iso("PAYÉ\u00A0"),
        // 819 "é" and one pair, at the start, in the middle, at the end.
        pair + cafes + cafes + iso("Café"), cafes + pair + cafes + iso("Café"), cafes + cafes + iso("Café") + pair,
        utf8("Crème brûlée 12,50 ") + bad("\xE2\x82"), utf8("Crème 12,50 ") + bad("\x80"),
        utf8("Carte refusée, réessay") + bad("\xC3"), times(42, utf8("Café ")) + bad("\xE2\x82"),
        utf8("été ") + bad("\xF0\x9F\x98"), utf8("Crème ") + bad("\xC3") + utf8("X brûlée"),
        times(682, utf8("Café ")) + utf8("Caf") + bad("\xC3"),
        // Read in the other code: valid UTF-8 as a whole, UTF-8 cut at its
        // end, a cut letter that is the only one.
        readAsUtf8(iso("PAYÉ\u00A0!")), readAsUtf8(iso("É©")), readAsUtf8(iso("NESCAFÉ®")),
        readAsUtf8(iso("Café\u00A0\u00A012,50")), readAsUtf8(iso("Maß²")), readAsUtf8(iso("PAYÉ\u00A0CAFÉ")),
        readAsIso(utf8("Total 12,50 ") + bad("\xE2\x82")),
    };
}

} // namespace testsupport
