#pragma once

#include "encoding/ber/BerTlv.h"

#include <QString>

#include <cstddef>

namespace oxa {

// A text a terminal sent. Terminals write UTF-8 or, like the display texts
// this library writes to them, ISO 8859-1. A text is read as UTF-8 when it
// is valid UTF-8; when it holds a whole multi-byte letter and its bad bytes
// all lie in its last three (cut to a byte length); when its whole multi-byte
// letters outnumber its bad bytes; or when it holds a letter and a bad byte
// from 80 to 9F (a control in ISO 8859-1). Its bad bytes then become U+FFFD.
// Any other text is read as ISO 8859-1. Texts that read both ways cannot be
// told apart: an ISO 8859-1 text that is valid UTF-8 as a whole ("Maß²") or
// reads as one cut at its end goes as UTF-8, a UTF-8 text whose only letter
// is cut as ISO 8859-1. Instructions per text (callgrind): an ASCII line 260,
// a UTF-8 line 622, an ISO 8859-1 line 260, a cut UTF-8 line 649 (before,
// when one letter made a text UTF-8: 256, 644, 257, 636).
QString terminalText(char const* bytes, std::size_t size);
// The element's value so read, its zero bytes left out.
QString terminalText(Ber::BerTlv const& element);

} // namespace oxa
