#pragma once

#include "encoding/ber/BerTlv.h"

#include <QString>

#include <cstddef>

namespace oxa {

// A text a terminal sent. Terminals write UTF-8 or, like the display texts
// this library writes to them, ISO 8859-1: bytes that are valid UTF-8 are
// read as UTF-8, any others as ISO 8859-1, so no letter is lost to U+FFFD.
QString terminalText(char const* bytes, std::size_t size);
// The element's value so read, its zero bytes left out.
QString terminalText(Ber::BerTlv const& element);

} // namespace oxa
