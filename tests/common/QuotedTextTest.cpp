#include "common/QuotedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Nothing a terminal sends breaks the log line it is quoted in or reaches the
// reader's terminal as a control: C0, DEL, C1 in UTF-8 and the Unicode line breaks.
TEST(QuotedText, EscapesEveryLineBreakAndControl)
{
    struct Case {
        std::string text;
        const char* quoted;
    };
    for (const Case& c : std::vector<Case>{
             {"TERM01", "TERM01"},
             {"TERM\r\n\x1B[2J", "TERM\\x0D\\x0A\\x1B[2J"},
             {std::string("A\0B", 3), "A\\x00B"},
             {"\x7F\\", "\\x7F\\\\"},
             {"CAF\xC3\xA9 \xC2\xA0", "CAF\xC3\xA9 \xC2\xA0"},
             {"A\xC2\x85" "B", "A\\xC2\\x85B"},
             {"\xC2\x80\xC2\x9B" "2J\xC2\x9F", "\\xC2\\x80\\xC2\\x9B2J\\xC2\\x9F"},
             {"A\xE2\x80\xA8" "B\xE2\x80\xA9", "A\\xE2\\x80\\xA8B\\xE2\\x80\\xA9"},
             {"\xE2\x80\xA7\xE2\x80\xAA\xE2\x82\xAC", "\xE2\x80\xA7\xE2\x80\xAA\xE2\x82\xAC"},
             {"\xC2", "\xC2"},
             {"\xE2\x80", "\xE2\x80"},
         }) {
        SCOPED_TRACE(c.quoted);
        EXPECT_EQ(ect::QuotedText::of(c.text), c.quoted);
    }
}
