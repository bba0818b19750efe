#include "encoding/CardBrandIdentifierUtility.h"

namespace oxa {

namespace {

// Brand code by bit number.
char const* const kBrandCodes[32] = {
    "1001", "1013", "1009", "2003", "2002", "1002", "1003", "2004", "1011", "1012", "1020",
    "2005", "2007", "2008", "2009", "2012", "2014", "3001", "3002", "3003", "3004", "3013",
    "3014", "3020", "3021", "3100", "3200", "3300", "3400", "3401", "1040", "1030",
};

// Unsigned, so the flag of bit 31 needs no signed overflow.
std::uint32_t flagOfBit(int bit)
{
    return std::uint32_t{1} << bit;
}

} // namespace

std::string CardBrandIdentifierUtility::identifierFor(ect::CardBrandIdentifier flag) const
{
    for (int bit = 0; bit < 32; ++bit) {
        if (static_cast<std::uint32_t>(flag) == flagOfBit(bit))
            return kBrandCodes[bit];
    }
    return std::string();
}

std::vector<ect::CardBrandIdentifier> CardBrandIdentifierUtility::brands(std::int32_t mask) const
{
    std::uint32_t const bits = static_cast<std::uint32_t>(mask);
    std::vector<ect::CardBrandIdentifier> flags;
    for (int bit = 0; bit < 32; ++bit) {
        if ((bits & flagOfBit(bit)) != 0)
            flags.push_back(static_cast<ect::CardBrandIdentifier>(flagOfBit(bit)));
    }
    return flags;
}

} // namespace oxa
