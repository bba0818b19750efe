#pragma once

#include <string>

namespace ect {

// A text a terminal sent, fit to quote in a log line: it can't break the line
// or send the reader's terminal control sequences.
class QuotedText {
public:
    // Control bytes and DEL as \xHH and the backslash doubled; every other byte as it came.
    static std::string of(const std::string& text);
};

} // namespace ect
