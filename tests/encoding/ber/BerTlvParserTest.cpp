#include "encoding/ber/BerTlvParser.h"

#include "encoding/ber/BerTlvBuilder.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvParser;
using bertest::bytes;

namespace {

BerTlv parse(std::string const& hex)
{
    return BerTlvParser().parseConstructed(bytes(hex));
}

// The kind of exception that parseConstructed throws.
std::string parseFailure(BerData const& data)
{
    try {
        BerTlvParser().parseConstructed(data);
    } catch (std::out_of_range const&) {
        return "out_of_range";
    } catch (std::invalid_argument const& e) {
        return std::string("invalid_argument: ") + e.what();
    }
    return "no exception";
}

// depth levels of E1, the innermost holding one primitive C1.
BerData nested(int depth)
{
    BerTlv node(BerTag(0xC1), BerData({0x41}));
    for (int level = 1; level < depth; ++level) {
        BerTlv outer(BerTag(0xE1));
        outer.children.push_back(std::move(node)); // a copy at each level would take quadratic time
        node = std::move(outer);
    }
    return Ber::BerTlvBuilder(node).buildData();
}

}  // namespace

TEST(BerTlvParser, ConstructedElementWithChildrenAndEmptyValues)
{
    BerTlv const e1 = parse("E1 06 D0 02 43 64 D1 00");
    EXPECT_TRUE(e1.constructed);
    ASSERT_EQ(2u, e1.children.size());
    EXPECT_EQ("Cd", e1.children[0].textValue());
    EXPECT_EQ(BerData(), e1.children[1].value);
}

TEST(BerTlvParser, TagSizesAndLengthForms)
{
    for (char const* tag : {"DF 81 02", "5A", "1F 81 82 83 84 85 86 87 88 89 8A"}) {
        BerTlv const tlv = parse(std::string(tag) + " 01 41");
        EXPECT_EQ(bytes(tag), tlv.tag.data()) << tag;
        EXPECT_EQ(BerData({0x41}), tlv.value) << tag;
    }
    for (char const* form : {"05", "81 05", "82 00 05"})
        EXPECT_EQ(bytes("01 02 03 04 05"), parse(std::string("C1 ") + form + " 01 02 03 04 05").value) << form;
    EXPECT_EQ(0u, Ber::calcDataLength(bytes("80"), 0));
    EXPECT_EQ(65536u, Ber::calcDataLength(bytes("83 01 00 00"), 0));
    EXPECT_EQ("invalid_argument: BadLengthException", parseFailure(bytes("C1 84 00 00 00 05")));
    EXPECT_EQ(BerData(), parse("C1 05 01 02").value); // a value running past the input is empty
}

// A tag or length cut off by the end of the input, or nesting deeper than
// sixteen levels, is refused instead of being read beyond the input.
TEST(BerTlvParser, FieldsCutOffByTheEndAndDeepNestingThrow)
{
    for (char const* hex : {"", "DF 81", "1F 81 82 83 84 85 86 87 88 89", "C1 83 01 00", "E1 03 DF 21"})
        EXPECT_EQ("out_of_range", parseFailure(bytes(hex))) << hex;
    // The tail of a larger buffer must not be taken for the missing bytes.
    std::vector<unsigned char> const storage = {0xE1, 0x03, 0xDF, 0x21, 0x00};
    EXPECT_EQ("out_of_range", parseFailure(BerData(storage.data(), 4)));
    EXPECT_EQ("no exception", parseFailure(nested(16)));
    EXPECT_EQ("out_of_range", parseFailure(nested(17)));
    EXPECT_THROW(BerTlvParser().parseTlvs(nested(5000)), std::out_of_range);
}
