#include "common/Amount.h"

#include <locale>
#include <sstream>
#include <stdexcept>

namespace ect {

namespace {

// What 64 bits hold whole, and far beyond any currency's maximum.
constexpr std::size_t kMaximumDigits = 18;

bool isBlank(char character)
{
    return character == ' ' || (character >= '\t' && character <= '\r');
}

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool isSeparator(char character)
{
    return character == '.' || character == ',';
}

std::string quoted(std::string const& text)
{
    return " in \"" + text + "\"";
}

// The text read once; every field of the amount is derived from it.
struct Reading {
    bool negative = false;
    std::string integralDigits;
    std::string fractionDigits;
};

void readDigits(std::string const& text, std::string const& body, Reading& reading)
{
    bool afterSeparator = false;
    for (char character : body) {
        if (isDigit(character))
            (afterSeparator ? reading.fractionDigits : reading.integralDigits) += character;
        else if (isSeparator(character) && !afterSeparator)
            afterSeparator = true;
        // "1,000.50" has no single reading; taking it as 1.0 would charge the wrong amount.
        else if (isSeparator(character))
            throw std::invalid_argument("Amount: more than one decimal separator" + quoted(text));
        // A group separator, a currency or an exponent: reading up to it would charge another amount.
        else
            throw std::invalid_argument("Amount: not digits with at most one '.' or ','" + quoted(text));
    }
}

Reading read(std::string const& text)
{
    Reading reading;
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    if (begin == end)
        return reading;
    if (text[begin] == '-' || text[begin] == '+') {
        reading.negative = text[begin] == '-';
        ++begin;
    }
    readDigits(text, text.substr(begin, end - begin), reading);
    if (reading.integralDigits.empty() && reading.fractionDigits.empty())
        throw std::invalid_argument("Amount: no digits" + quoted(text));
    return reading;
}

std::string withoutLeadingZeros(std::string const& digits)
{
    std::size_t const first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

std::string withoutTrailingZeros(std::string const& digits)
{
    return digits.substr(0, digits.find_last_not_of('0') + 1);
}

std::int64_t numberOf(std::string const& digits)
{
    std::int64_t number = 0;
    for (char digit : digits)
        number = number * 10 + (digit - '0');
    return number;
}

} // namespace

Amount::Amount(std::string const& text)
{
    Reading const reading = read(text);
    std::string const integral = withoutLeadingZeros(reading.integralDigits);
    if (integral.size() > kMaximumDigits)
        throw std::out_of_range("Amount: more than 18 digits before the separator" + quoted(text));
    if (reading.fractionDigits.size() > kMaximumDigits)
        throw std::out_of_range("Amount: more than 18 digits after the separator" + quoted(text));
    std::string const fraction = withoutTrailingZeros(reading.fractionDigits);
    bool const negative = reading.negative && !(integral.empty() && fraction.empty());

    integralPart_ = negative ? -numberOf(integral) : numberOf(integral);
    // One digit means tenths: "5" is 50 hundredths.
    decimalPart_ = numberOf(reading.fractionDigits) * (reading.fractionDigits.size() == 1 ? 10 : 1);
    text_ = (negative ? "-" : "") + (integral.empty() ? "0" : integral) + "." + (fraction.empty() ? "0" : fraction);
    // Read back from the printed text: the value is the nearest double to what is sent.
    std::istringstream reader(text_);
    reader.imbue(std::locale::classic());
    reader >> value_;
}

double Amount::value() const
{
    return value_;
}

std::int64_t Amount::integralPart() const
{
    return integralPart_;
}

std::int64_t Amount::decimalPart() const
{
    return decimalPart_;
}

std::string Amount::toString() const
{
    // Always a point, whatever the host's locale (Qt applications adopt the user's).
    return text_;
}

} // namespace ect
