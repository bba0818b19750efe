#pragma once

#include <string>

namespace ect {

// A text a terminal sent, fit to quote in a log line: it can't break the line
// or send the reader's terminal control sequences.
class QuotedText {
public:
    // Control bytes, DEL, the UTF-8 of the C1 controls and of the line and
    // paragraph separators as \xHH a byte, the backslash doubled; every other
    // byte as it came.
    static std::string of(const std::string& text);
};

} // namespace ect
