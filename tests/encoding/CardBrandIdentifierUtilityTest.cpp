#include "encoding/CardBrandIdentifierUtility.h"

#include <gtest/gtest.h>

#include <climits>

using ect::CardBrandIdentifier;

TEST(CardBrandIdentifierUtility, codeOfExactlyOneFlagAndBrandsOfAMask)
{
    oxa::CardBrandIdentifierUtility const utility;
    EXPECT_EQ("2003", utility.identifierFor(ect::CardBrandBit3));
    EXPECT_EQ("1030", utility.identifierFor(ect::CardBrandBit31));
    EXPECT_EQ("", utility.identifierFor(static_cast<CardBrandIdentifier>(3)));
    // The brands of a mask come in ascending bit order.
    EXPECT_TRUE(utility.brands(0).empty());
    EXPECT_EQ((std::vector<CardBrandIdentifier>{ect::CardBrandBit0, ect::CardBrandBit2}), utility.brands(5));
    EXPECT_EQ(std::vector<CardBrandIdentifier>{ect::CardBrandBit31}, utility.brands(INT32_MIN));
    EXPECT_EQ(32u, utility.brands(-1).size());
}
