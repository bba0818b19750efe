#pragma once

#include "encoding/ZUVABody.h"
#include "encoding/ZUVAHeader.h"

#include <string>

namespace oxa {

// Writes one message to the certification log: two rules, the dated line
// "title | text", then the header and body dumps with continuous offsets.
// While the log is not writing, nothing is built.
void logZUVAMessage(std::string const& title, std::string const& text, ZUVAHeader const& header,
                    ZUVABody const& body);

} // namespace oxa
