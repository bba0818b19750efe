#include "encoding/ber/BerTlvParser.h"

#include "encoding/ber/BerTlvBuilder.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvParser;
using Ber::BerTlvs;
using bertest::bytes;

namespace {

std::string const outOfRange = "OutOfRangeException : Length is out of range";

BerTlv parse(std::string const& hex)
{
    return BerTlvParser().parseConstructed(bytes(hex));
}

// The text of the exception that parseConstructed throws, with its kind.
std::string parseFailure(BerData const& data)
{
    try {
        BerTlvParser().parseConstructed(data);
    } catch (std::out_of_range const& e) {
        return std::string("out_of_range: ") + e.what();
    } catch (std::invalid_argument const& e) {
        return std::string("invalid_argument: ") + e.what();
    }
    return "no exception";
}

std::string parseFailure(std::string const& hex)
{
    return parseFailure(bytes(hex));
}

// depth levels of E1, the innermost holding one primitive C1.
BerData nested(int depth)
{
    BerTlv node(BerTag(0xC1), BerData({0x41}));
    for (int level = 1; level < depth; ++level) {
        BerTlv parent(BerTag(0xE1));
        parent.addData(std::move(node));
        node = std::move(parent);
    }
    return Ber::BerTlvBuilder(node).buildData();
}

}  // namespace

TEST(BerTlvParser, ConstructedElementWithChildrenAndEmptyValues)
{
    BerTlv const e1 = parse("E1 07 D0 02 43 64 D1 01 05");
    EXPECT_TRUE(e1.constructed);
    ASSERT_EQ(2u, e1.children.size());
    EXPECT_EQ("Cd", e1.children[0].textValue());
    EXPECT_EQ(BerData({0x05}), e1.children[1].value);
    EXPECT_EQ(BerData(), parse("E1 05 D0 01 41 D1 00").children.at(1).value);
    EXPECT_TRUE(parse("E1 00").children.empty());
}

TEST(BerTlvParser, TagSizesUpToElevenBytes)
{
    for (char const* tag : {"DF 81 02", "9F 01", "5A", "1F 81 82 83 84 85 86 87 88 89 8A"}) {
        BerData const tagBytes = bytes(tag);
        EXPECT_EQ(static_cast<int>(tagBytes.length()), Ber::calcTagBytesCount(tagBytes, 0)) << tag;
        BerTlv const tlv = parse(std::string(tag) + " 01 41");
        EXPECT_EQ(tagBytes, tlv.tag.data()) << tag;
        EXPECT_EQ(BerData({0x41}), tlv.value) << tag;
    }
}

TEST(BerTlvParser, LengthForms)
{
    for (char const* form : {"05", "81 05", "82 00 05"}) {
        BerTlv const tlv = parse(std::string("C1 ") + form + " 01 02 03 04 05");
        EXPECT_EQ(bytes("01 02 03 04 05"), tlv.value) << form;
    }
    EXPECT_EQ(0u, Ber::calcDataLength(bytes("80"), 0));
    EXPECT_EQ(1, Ber::calcLengthBytesCount(bytes("80"), 0));
    EXPECT_EQ(65536u, Ber::calcDataLength(bytes("83 01 00 00"), 0));
    EXPECT_EQ(4, Ber::calcLengthBytesCount(bytes("83 01 00 00"), 0));
    EXPECT_EQ("invalid_argument: BadLengthException", parseFailure("C1 84 00 00 00 05"));
    EXPECT_EQ("invalid_argument: BadLengthException", parseFailure("C1 FF"));
}

TEST(BerTlvParser, PrimitiveValuePastTheEndIsEmpty)
{
    EXPECT_EQ(BerData(), parse("C1 05 01 02").value);
    EXPECT_EQ(1u, BerTlvParser().parseTlvs(bytes("C1 05 01 02 C2 00")).tlvs.size());
}

TEST(BerTlvParser, ChildRunningPastItsParentEndsTheParent)
{
    BerTlv const root = parse("F0 03 D0 03 41 42 43 C1 00");
    ASSERT_EQ(1u, root.children.size());
    EXPECT_EQ(bytes("41 42 43"), root.children[0].value);

    // The parent still ends where it says: parsing goes on inside D0.
    BerTlv const outer = parse("F0 08 E1 03 D0 03 41 C1 01 42 43");
    ASSERT_EQ(2u, outer.children.size());
    EXPECT_EQ(bytes("41 C1 01"), outer.children[0].children[0].value);
    EXPECT_EQ(BerTag(0xC1), outer.children[1].tag);
    EXPECT_EQ(BerData({0x42}), outer.children[1].value);
}

TEST(BerTlvParser, ParseTlvsReadsUpToAHundredConsecutiveElements)
{
    BerTlvParser const parser;
    EXPECT_TRUE(parser.parseTlvs(BerData()).tlvs.empty());
    EXPECT_EQ(BerData({0x41}), parser.parseConstructed(bytes("C1 01 41 C2 00")).value);
    BerData data;
    for (int i = 0; i < 101; ++i)
        data.appendData(BerData({0xC1, 0x01, static_cast<unsigned char>(i)}));
    BerTlvs const list = parser.parseTlvs(data);
    ASSERT_EQ(100u, list.tlvs.size());
    EXPECT_EQ(BerData({99}), list.tlvs.back().value);
}

// A tag or length cut off by the end of the input is refused with the
// parser's own exception instead of being read beyond the input.
TEST(BerTlvParser, FieldsCutOffByTheEndThrow)
{
    for (char const* hex : {"", "C1", "DF", "DF 81", "1F 81 82 83 84 85 86 87 88 89", "C1 81", "C1 83 01 00",
                            "E1 02 C1", "E1 03 DF 21", "E1 05 D0 01"})
        EXPECT_EQ("out_of_range: " + outOfRange, parseFailure(hex)) << hex;
    // The tail of a larger buffer must not be taken for the missing bytes.
    std::vector<unsigned char> const storage = {0xE1, 0x03, 0xDF, 0x21, 0x00};
    EXPECT_EQ("out_of_range: " + outOfRange, parseFailure(BerData(storage.data(), 4)));
    EXPECT_THROW(BerTlvParser().parseTlvs(bytes("C1 01 41 C2 82 01")), std::out_of_range);
    EXPECT_THROW(Ber::calcTagBytesCount(bytes("5A"), -1), std::out_of_range);
}

TEST(BerTlvParser, NestingIsLimitedToSixteenLevels)
{
    EXPECT_EQ("no exception", parseFailure(nested(16)));
    EXPECT_EQ("out_of_range: " + outOfRange, parseFailure(nested(17)));
    EXPECT_EQ("out_of_range: " + outOfRange, parseFailure(nested(5000)));
    EXPECT_THROW(BerTlvParser().parseTlvs(nested(17)), std::out_of_range);
}

