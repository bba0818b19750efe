#include "encoding/ber/BerTlvBuilder.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <exception>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvBuilder;
using Ber::BerTlvs;
using Ber::createLengthData;
using bertest::bodyTree;
using bertest::bytes;

TEST(CreateLengthData, ShortestFormForEachRangeAndRefusesLengthsWithoutAField)
{
    for (auto const& form : {std::make_pair(127, "7F"), std::make_pair(128, "81 80"), std::make_pair(255, "81 FF"),
                             std::make_pair(256, "82 01 00"), std::make_pair(65536, "83 01 00 00"),
                             std::make_pair(16777215, "83 FF FF FF")})
        EXPECT_EQ(bytes(form.second), createLengthData(form.first)) << form.first;
    for (int length : {16777216, -1})
        EXPECT_THROW(createLengthData(length), std::exception) << length;
}

TEST(BerTlvBuilder, EncodesTreesAndListsFromEveryEntry)
{
    EXPECT_EQ(bytes("F0 09 E1 07 D0 02 43 64 D1 01 05"), BerTlvBuilder(bodyTree()).buildData());

    std::vector<BerTlv> elements{BerTlv(BerTag(0xC1), BerData({0x41})), BerTlv(BerTag(0xC2))};
    BerTlvBuilder list{BerTlvs(elements)};
    list.addBerTlvs(BerTlvs(elements));
    EXPECT_EQ(bytes("C1 01 41 C2 00 C1 01 41 C2 00"), list.buildData());
}

// Empty elements write nothing, untagged ones their children unwrapped; the
// flags, not the content, decide between value and children.
TEST(BerTlvBuilder, EmptyUntaggedAndMismatchedElements)
{
    BerTlv untagged;
    untagged.addData(BerTag(0xC1), BerData({0x41}));
    std::vector<BerTlv> children{BerTlv(BerTag(0xD0), BerData({1}))};
    BerTlvBuilder builder;
    for (BerTlv const& element : {BerTlv(), BerTlv(BerTag(0xE1)), untagged, BerTlv(BerTag(0xDF, 0x21), children),
                                  BerTlv(BerTag(0xE1), BerData({1, 2}))})
        builder.addBerTlv(element);
    EXPECT_EQ(bytes("E1 00 C1 01 41 DF 21 00 E1 00"), builder.buildData());
}

// A value too long for a length field leaves the builder as it was (no tag
// without length and value at the end of the output).
TEST(BerTlvBuilder, LengthExceptionLeavesTheOutputUnchanged)
{
    BerData const tooLong(std::vector<unsigned char>(16777216, 0));
    BerTlvBuilder builder;
    builder.addText("A", BerTag(0xC1));
    EXPECT_THROW(builder.addBytes(tooLong, BerTag(0xD0)), std::exception);
    BerTlv tree(BerTag(0xE1));
    tree.addData(BerTag(0xC2), BerData({1}));
    tree.addData(BerTag(0xD0), tooLong);
    EXPECT_THROW(builder.addBerTlv(tree), std::exception);
    EXPECT_EQ(bytes("C1 01 41"), builder.buildData());
}
