#include "common/Amount.h"

#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace ect {

namespace {

std::string withPointSeparator(std::string text)
{
    auto const comma = text.find(',');
    if (comma != std::string::npos)
        text[comma] = '.';
    return text;
}

std::vector<std::string> splitAtSeparators(std::string const& text)
{
    std::vector<std::string> pieces(1);
    for (char character : text) {
        if (character == '.' || character == ',')
            pieces.emplace_back();
        else
            pieces.back() += character;
    }
    return pieces;
}

std::int64_t decimalDigits(std::string piece)
{
    // One digit means tenths: "5" is 50 hundredths.
    if (piece.size() == 1)
        piece += '0';
    return std::stoi(piece);
}

} // namespace

Amount::Amount(std::string const& text)
{
    std::string const normalised = withPointSeparator(text);
    std::vector<std::string> const pieces = splitAtSeparators(normalised);
    // "1,000.50" has no single reading; taking it as 1.0 would charge the wrong amount.
    if (pieces.size() > 2)
        throw std::invalid_argument("Amount: more than one decimal separator in \"" + text + "\"");
    if (!pieces[0].empty())
        integralPart_ = std::stoi(pieces[0]);
    if (pieces.size() == 2 && !pieces[1].empty())
        decimalPart_ = decimalDigits(pieces[1]);
    std::istringstream reader(normalised);
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
    // Always a point: a host's locale (Qt applications adopt the user's) must
    // not turn 12.5 into "12,5" on its way into the request.
    std::ostringstream writer;
    writer.imbue(std::locale::classic());
    writer << std::fixed << std::setprecision(6) << value_;
    std::string text = writer.str();
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.')
        text += '0';
    return text;
}

} // namespace ect
