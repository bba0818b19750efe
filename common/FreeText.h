#pragma once

#include <string>

namespace ect {

// Up to four lines of display text; empty lines are empty texts. Each line
// is UTF-8 of at most 20 bytes, not characters (a longer one fails the display
// operation with code 1 cause 51), shown in Latin-1.
class FreeText {
public:
    FreeText(std::string text_1, std::string text_2, std::string text_3, std::string text_4);

    std::string text_1() const;
    std::string text_2() const;
    std::string text_3() const;
    std::string text_4() const;

private:
    std::string text1_;
    std::string text2_;
    std::string text3_;
    std::string text4_;
};

} // namespace ect
