#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include <gtest/gtest.h>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvs;

namespace {

BerTag const DF21(0xDF, 0x21);

BerTlv e1WithTypeAndSequence()
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(BerTag(0xD0), BerData({0x43, 0x64}));
    e1.addData(BerTag(0xD1), BerData({0x05}));
    return e1;
}

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

}  // namespace

TEST(BerTlv, FlagsFollowTheTagWhateverTheContent)
{
    BerTlv const empty;
    EXPECT_FALSE(empty.primitive);
    EXPECT_FALSE(empty.constructed);

    BerTlv const e1(BerTag(0xE1));
    EXPECT_TRUE(e1.constructed);
    EXPECT_FALSE(e1.primitive);
    EXPECT_TRUE(e1.value.length() == 0 && e1.children.empty());

    std::vector<BerTlv> children{BerTlv(BerTag(0xD0), BerData({1}))};
    BerTlv const primitiveWithChildren(DF21, children);
    EXPECT_TRUE(primitiveWithChildren.primitive);
    EXPECT_EQ(1u, primitiveWithChildren.children.size());

    BerTlv const constructedWithValue(BerTag(0xE1), BerData({1, 2}));
    EXPECT_TRUE(constructedWithValue.constructed);
    EXPECT_EQ(BerData({1, 2}), constructedWithValue.value);
}

TEST(BerTlv, AddDataAppendsChildrenInOrder)
{
    BerTlv root(BerTag(0xF0));
    root.addData(e1WithTypeAndSequence());
    root.addData(BerTag(0xD2), BerData({9}));
    ASSERT_EQ(2u, root.children.size());
    EXPECT_EQ(BerTag(0xE1), root.children[0].tag);
    EXPECT_EQ(BerTag(0xD2), root.children[1].tag);
    EXPECT_TRUE(root.children[1].primitive);
    EXPECT_EQ(BerData({9}), root.children[1].value);
}

TEST(BerTlv, FindSearchesDepthFirstAndReturnsTheWholeSubtree)
{
    BerTlv root(BerTag(0xF0));
    root.addData(e1WithTypeAndSequence());

    auto const self = root.find(BerTag(0xF0));
    ASSERT_TRUE(self);
    ASSERT_EQ(1u, self->children.size());
    EXPECT_EQ(2u, self->children[0].children.size());

    auto const d1 = root.find(BerTag(0xD1));
    ASSERT_TRUE(d1);
    EXPECT_EQ(BerData({0x05}), d1->value);
    EXPECT_TRUE(root.hasTag(BerTag(0xD1)));

    EXPECT_FALSE(root.find(BerTag(0xDF, 0x99)));
    EXPECT_FALSE(root.hasTag(BerTag(0xDF, 0x99)));

    auto const first = treeWithRepeatedTag().find(DF21);
    ASSERT_TRUE(first);
    EXPECT_EQ(BerData({0x01}), first->value);
}

TEST(BerTlv, FindDoesNotLookIntoPrimitiveElements)
{
    BerTlv primitive(DF21, BerData({1}));
    primitive.addData(BerTag(0xD0), BerData({2}));
    EXPECT_FALSE(primitive.find(BerTag(0xD0)));
    EXPECT_TRUE(primitive.find(DF21));

    BerTlv defaultElement;
    defaultElement.addData(BerTag(0xD0), BerData({2}));
    EXPECT_TRUE(defaultElement.find(BerTag(0xD0)));
}

TEST(BerTlv, FindAllTakesOneHitPerDirectChild)
{
    BerTlv const root = treeWithRepeatedTag();
    std::vector<BerTlv> const hits = root.findAll(DF21);
    ASSERT_EQ(2u, hits.size());
    EXPECT_EQ(BerData({0x01}), hits[0].value);
    EXPECT_EQ(BerData({0x02}), hits[1].value);

    std::vector<BerTlv> const self = root.findAll(BerTag(0xF0));
    ASSERT_EQ(1u, self.size());
    EXPECT_EQ(2u, self[0].children.size());

    BerTlv defaultElement;
    defaultElement.addData(DF21, BerData({1}));
    EXPECT_TRUE(defaultElement.findAll(DF21).empty());
}

TEST(BerTlv, ValueTexts)
{
    BerTlv const tlv(BerTag(0xD0), BerData({0x43, 0x00, 0x64, 0x0A}));
    EXPECT_EQ("4300640A", tlv.hexValue());
    EXPECT_EQ("Cd\n", tlv.textValue());
}

TEST(BerTlv, DumpDoublesTheIndentPerLevel)
{
    BerTlv root(BerTag(0xF0));
    root.addData(e1WithTypeAndSequence());
    EXPECT_EQ("   + [F0]\r\n"
              "     + [E1]\r\n"
              "         - [D0] 4364\t\t\t\t[ascii: Cd]\r\n"
              "         - [D1] 05\t\t\t\t[ascii: \x05]\r\n",
              root.dump("  "));
    EXPECT_EQ(" + [F0]\r\n + [E1]\r\n - [D0] 4364\t\t\t\t[ascii: Cd]\r\n - [D1] 05\t\t\t\t[ascii: \x05]\r\n",
              root.dump(""));
}

TEST(BerTlv, DumpOfSpecialElements)
{
    EXPECT_EQ(" + [E1]\r\n", BerTlv(BerTag(0xE1)).dump(""));
    EXPECT_EQ(" + []\r\n", BerTlv().dump(""));
    std::vector<BerTlv> children{BerTlv(BerTag(0xD0), BerData({1}))};
    EXPECT_EQ(" - [DF21] \t\t\t\t[ascii: ]\r\n", BerTlv(DF21, children).dump(""));
}

// Doubling stops at 64 characters so that deep trees cannot make the dump
// grow exponentially; past that each level adds the first indent once.
TEST(BerTlv, DumpIndentGrowthIsBounded)
{
    BerTlv node(DF21, BerData({1}));
    for (int level = 0; level < 30; ++level) {
        BerTlv parent(BerTag(0xE1));
        parent.addData(node);
        node = parent;
    }
    std::string const dump = node.dump("  ");
    std::vector<std::size_t> indents;
    for (std::size_t start = 0; start < dump.size();) {
        std::size_t const end = dump.find("\r\n", start);
        indents.push_back(dump.find_first_not_of(' ', start) - start - 1);
        start = end + 2;
    }
    ASSERT_EQ(31u, indents.size());
    std::vector<std::size_t> const firstLevels(indents.begin(), indents.begin() + 8);
    EXPECT_EQ((std::vector<std::size_t>{2, 4, 8, 16, 32, 64, 66, 68}), firstLevels);
    EXPECT_EQ(64u + 2 * 25, indents.back());
}

TEST(BerTlvs, FindTakesTheFirstElementWithAHit)
{
    BerTlv second(BerTag(0xE2));
    second.addData(DF21, BerData({0x02}));
    std::vector<BerTlv> elements{BerTlv(BerTag(0xC1), BerData({0x41})), treeWithRepeatedTag(), second};
    BerTlvs const list(elements);

    auto const hit = list.find(DF21);
    ASSERT_TRUE(hit);
    EXPECT_EQ(BerData({0x01}), hit->value);

    std::vector<BerTlv> const hits = list.findAll(DF21);
    ASSERT_EQ(2u, hits.size());
    EXPECT_EQ(BerData({0x01}), hits[0].value);
    EXPECT_EQ(BerData({0x02}), hits[1].value);

    EXPECT_FALSE(BerTlvs().find(DF21));
    EXPECT_TRUE(BerTlvs().findAll(DF21).empty());
}

TEST(BerTlvs, DumpJoinsTheElementDumps)
{
    std::vector<BerTlv> elements{BerTlv(BerTag(0xC1), BerData({0x41})), BerTlv(BerTag(0xE2))};
    EXPECT_EQ("  - [C1] 41\t\t\t\t[ascii: A]\r\n  + [E2]\r\n", BerTlvs(elements).dump(" "));
    EXPECT_EQ("", BerTlvs().dump("  "));
}
