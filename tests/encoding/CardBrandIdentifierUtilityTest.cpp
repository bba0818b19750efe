#include "encoding/CardBrandIdentifierUtility.h"

#include <gtest/gtest.h>

#include <climits>

using ect::CardBrandIdentifier;

namespace {

CardBrandIdentifier flag(int bit)
{
    return static_cast<CardBrandIdentifier>(std::uint32_t{1} << bit);
}

} // namespace

TEST(CardBrandIdentifierUtility, codeOfExactlyOneFlagAndBrandsOfAMask)
{
    oxa::CardBrandIdentifierUtility const utility;
    EXPECT_EQ("1001", utility.identifierFor(ect::CardBrandBit0));
    EXPECT_EQ("2003", utility.identifierFor(ect::CardBrandBit3));
    EXPECT_EQ("3401", utility.identifierFor(ect::CardBrandBit29));
    EXPECT_EQ("1040", utility.identifierFor(ect::CardBrandBit30));
    EXPECT_EQ("1030", utility.identifierFor(ect::CardBrandBit31));
    EXPECT_EQ("", utility.identifierFor(static_cast<CardBrandIdentifier>(3)));
    EXPECT_EQ("", utility.identifierFor(static_cast<CardBrandIdentifier>(0)));

    // The brands of a mask come in ascending bit order.
    EXPECT_TRUE(utility.brands(0).empty());
    EXPECT_EQ((std::vector<CardBrandIdentifier>{ect::CardBrandBit0, ect::CardBrandBit2}), utility.brands(5));
    EXPECT_EQ(std::vector<CardBrandIdentifier>{ect::CardBrandBit31}, utility.brands(INT32_MIN));

    std::vector<CardBrandIdentifier> const all = utility.brands(-1);
    ASSERT_EQ(32u, all.size());
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_EQ(flag(bit), all[static_cast<std::size_t>(bit)]);
        EXPECT_EQ(4u, utility.identifierFor(all[static_cast<std::size_t>(bit)]).size()) << bit;
    }
}
