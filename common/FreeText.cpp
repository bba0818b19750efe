#include "common/FreeText.h"

#include <utility>

namespace ect {

FreeText::FreeText(std::string text_1, std::string text_2, std::string text_3, std::string text_4)
    : text1_(std::move(text_1))
    , text2_(std::move(text_2))
    , text3_(std::move(text_3))
    , text4_(std::move(text_4))
{
}

std::string FreeText::text_1() const { return text1_; }
std::string FreeText::text_2() const { return text2_; }
std::string FreeText::text_3() const { return text3_; }
std::string FreeText::text_4() const { return text4_; }

} // namespace ect
