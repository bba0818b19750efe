#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <type_traits>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvs;
using bertest::bodyTree;

namespace {

BerTag const DF21(0xDF, 0x21);

// F0 { E1 { DF21 = 01, DF21 = 03 }, DF21 = 02 }
BerTlv treeWithRepeatedTag()
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(DF21, BerData({0x01}));
    e1.addData(DF21, BerData({0x03}));
    BerTlv root(BerTag(0xF0));
    root.addData(e1);
    root.addData(DF21, BerData({0x02}));
    return root;
}

std::vector<BerData> valuesOf(std::vector<BerTlv> const& elements)
{
    std::vector<BerData> values;
    for (BerTlv const& element : elements)
        values.push_back(element.value);
    return values;
}

}  // namespace

TEST(BerTlv, FindSearchesDepthFirstAndReturnsTheWholeSubtree)
{
    BerTlv const root = bodyTree();
    EXPECT_EQ(2u, root.find(BerTag(0xF0))->children.at(0).children.size());
    EXPECT_EQ(BerData({0x05}), root.find(BerTag(0xD1))->value);
    EXPECT_FALSE(root.hasTag(BerTag(0xDF, 0x99)));
    EXPECT_EQ(BerData({0x01}), treeWithRepeatedTag().find(DF21)->value);

    // Primitive elements are not searched; untagged ones are.
    BerTlv primitive(DF21, BerData({1}));
    primitive.addData(BerTag(0xD0), BerData({2}));
    EXPECT_FALSE(primitive.find(BerTag(0xD0)));
    BerTlv untagged;
    untagged.addData(BerTag(0xD0), BerData({2}));
    EXPECT_TRUE(untagged.find(BerTag(0xD0)));
}

TEST(BerTlv, FindAllTakesOneHitPerDirectChild)
{
    BerTlv const root = treeWithRepeatedTag();
    EXPECT_EQ((std::vector<BerData>{{0x01}, {0x02}}), valuesOf(root.findAll(DF21)));
    BerTlv untagged;
    untagged.addData(DF21, BerData({1}));
    EXPECT_TRUE(untagged.findAll(DF21).empty());
}

TEST(BerTlvs, FindGoesThroughTheElementsInOrder)
{
    BerTlv second(BerTag(0xE2));
    second.addData(DF21, BerData({0x02}));
    BerTlvs const list(std::vector<BerTlv>{BerTlv(BerTag(0xC1), BerData({0x41})), treeWithRepeatedTag(), second});
    EXPECT_EQ(BerData({0x01}), list.find(DF21)->value);
    EXPECT_EQ((std::vector<BerData>{{0x01}, {0x02}}), valuesOf(list.findAll(DF21)));
    EXPECT_FALSE(BerTlvs().find(DF21));
}

// Child lists relocate their elements by moving them only when no move
// can throw; else every relocation copies whole subtrees.
static_assert(std::is_nothrow_move_constructible<Ber::BerTlv>::value, "elements move without throwing");
