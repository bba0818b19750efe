#include "encoding/ber/BerTlv.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <type_traits>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;

namespace {

BerTag const DF21(0xDF, 0x21);

}  // namespace

// Depth first; primitive elements are not searched, untagged ones are.
TEST(BerTlv, FindSearchesDepthFirstAndFindAllTakesOneHitPerDirectChild)
{
    // F0 { E1 { DF21 = 01, DF21 = 03 }, DF21 = 02 }
    BerTlv const root(BerTag(0xF0), {BerTlv(BerTag(0xE1), {BerTlv(DF21, BerData({1})), BerTlv(DF21, BerData({3}))}),
                                     BerTlv(DF21, BerData({2}))});
    EXPECT_EQ(BerData({1}), root.find(DF21)->value);
    std::vector<BerTlv> const all = root.findAll(DF21);
    ASSERT_EQ(2u, all.size());
    EXPECT_EQ(BerData({2}), all[1].value);
    BerTlv primitive(DF21, BerData({1}));
    primitive.addData(BerTag(0xD0), BerData({2}));
    EXPECT_FALSE(primitive.find(BerTag(0xD0)));
    BerTlv untagged;
    untagged.addData(BerTag(0xD0), BerData({2}));
    EXPECT_TRUE(untagged.find(BerTag(0xD0)));
}

// Child lists relocate their elements by moving them only when no move
// can throw; else every relocation copies whole subtrees.
static_assert(std::is_nothrow_move_constructible<Ber::BerTlv>::value, "elements move without throwing");
