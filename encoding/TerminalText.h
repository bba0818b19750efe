#pragma once

#include "encoding/ber/BerTlv.h"

#include <QString>

#include <cstddef>

namespace oxa {

// A text a terminal sent. Terminals write UTF-8 or, like the display texts
// this library writes to them, ISO 8859-1: a text with at least one
// well-formed multi-byte UTF-8 letter is read as UTF-8, its bad bytes (a last
// letter cut short, a stray byte) as U+FFFD; any other as ISO 8859-1. So no
// letter is lost but those bad bytes. Instructions per text (callgrind):
// an ASCII line 256, a UTF-8 line 644, an ISO 8859-1 line 257, a cut UTF-8
// line 636 (before, read as ISO 8859-1: 415).
QString terminalText(char const* bytes, std::size_t size);
// The element's value so read, its zero bytes left out.
QString terminalText(Ber::BerTlv const& element);

} // namespace oxa
