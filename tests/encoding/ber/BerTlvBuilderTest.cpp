#include "encoding/ber/BerTlvBuilder.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvBuilder;
using Ber::BerTlvs;
using Ber::createLengthData;
using bertest::bytes;

namespace {

// F0 { E1 { D0 "Cd", D1 05 } }
BerTlv bodyTree()
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(BerTag(0xD0), BerData({0x43, 0x64}));
    e1.addData(BerTag(0xD1), BerData({0x05}));
    BerTlv f0(BerTag(0xF0));
    f0.addData(e1);
    return f0;
}

BerData const encodedBody = bytes("F0 09 E1 07 D0 02 43 64 D1 01 05");

BerData header(std::string const& hex, std::size_t valueSize)
{
    BerData data = bytes(hex);
    data.appendData(BerData(std::vector<unsigned char>(valueSize, 0x5A)));
    return data;
}

std::string lengthExceptionText(int length)
{
    try {
        createLengthData(length);
    } catch (std::exception const& e) {
        return e.what();
    }
    return "no exception";
}

}  // namespace

TEST(CreateLengthData, ShortestFormForEachRange)
{
    EXPECT_EQ(bytes("00"), createLengthData(0));
    EXPECT_EQ(bytes("7F"), createLengthData(127));
    EXPECT_EQ(bytes("81 80"), createLengthData(128));
    EXPECT_EQ(bytes("81 FF"), createLengthData(255));
    EXPECT_EQ(bytes("82 01 00"), createLengthData(256));
    EXPECT_EQ(bytes("82 FF FF"), createLengthData(65535));
    EXPECT_EQ(bytes("83 01 00 00"), createLengthData(65536));
    EXPECT_EQ(bytes("83 FF FF FF"), createLengthData(16777215));
}

TEST(CreateLengthData, RefusesLengthsWithoutAField)
{
    EXPECT_EQ("LengthOutOfRangeException : Length is out of range", lengthExceptionText(16777216));
    EXPECT_EQ("LengthOutOfRangeException : Length is out of range", lengthExceptionText(-1));
}

TEST(BerTlvBuilder, TemplateTagWrapsEverythingAdded)
{
    EXPECT_EQ(bytes("F0 00"), BerTlvBuilder(BerTag(0xF0)).buildData());
    EXPECT_EQ(BerData(), BerTlvBuilder().buildData());

    BerTlvBuilder builder(BerTag(0xF0));
    builder.addBytes(BerData({0x01}), BerTag(0xC1));
    builder.addBytes(BerData(), BerTag(0xDF, 0x21));
    EXPECT_EQ(bytes("F0 06 C1 01 01 DF 21 00"), builder.buildData());
}

TEST(BerTlvBuilder, AddBytesWritesTheLengthForm)
{
    for (auto const& form : {std::make_pair(127, "D0 7F"), std::make_pair(128, "D0 81 80"),
                             std::make_pair(300, "D0 82 01 2C"), std::make_pair(65536, "D0 83 01 00 00")}) {
        BerTlvBuilder builder;
        builder.addBytes(BerData(std::vector<unsigned char>(form.first, 0x5A)), BerTag(0xD0));
        EXPECT_EQ(header(form.second, form.first), builder.buildData()) << form.first;
    }
}

TEST(BerTlvBuilder, TextAndHexValues)
{
    BerTlvBuilder builder;
    builder.addText("Cd", BerTag(0xD0));
    builder.addText(std::string("A\0B", 3), BerTag(0xD2));
    builder.addHex("0a 1B", BerTag(0xD1));
    builder.addHex("ABD", BerTag(0xD1));
    EXPECT_EQ(bytes("D0 02 43 64 D2 03 41 00 42 D1 02 0A 1B D1 00"), builder.buildData());
}

TEST(BerTlvBuilder, EncodesATreeFromEitherEntry)
{
    BerTlvBuilder added;
    added.addBerTlv(bodyTree());
    EXPECT_EQ(encodedBody, added.buildData());
    EXPECT_EQ(encodedBody, BerTlvBuilder(bodyTree()).buildData());

    BerTlvBuilder withTemplate(BerTag(0xF0));
    withTemplate.addBerTlv(bodyTree().children[0]);
    EXPECT_EQ(encodedBody, withTemplate.buildData());

    BerTlv const primitive(BerTag(0xDF, 0x21), BerData({0x01}));
    EXPECT_EQ(bytes("DF 21 01 01"), BerTlvBuilder(primitive).buildData());
}

TEST(BerTlvBuilder, EmptyAndChildlessElements)
{
    BerTlvBuilder builder;
    builder.addBerTlv(BerTlv());
    EXPECT_EQ(BerData(), builder.buildData());
    builder.addBerTlv(BerTlv(BerTag(0xE1)));
    EXPECT_EQ(bytes("E1 00"), builder.buildData());

    // An element without tag contributes its children unwrapped.
    BerTlv untagged;
    untagged.addData(BerTag(0xC1), BerData({0x41}));
    BerTlvBuilder unwrapped;
    unwrapped.addBerTlv(untagged);
    EXPECT_EQ(bytes("C1 01 41"), unwrapped.buildData());
}

TEST(BerTlvBuilder, WritesWhatTheFlagsSay)
{
    std::vector<BerTlv> children{BerTlv(BerTag(0xD0), BerData({1}))};
    BerTlvBuilder primitiveWithChildren;
    primitiveWithChildren.addBerTlv(BerTlv(BerTag(0xDF, 0x21), children));
    EXPECT_EQ(bytes("DF 21 00"), primitiveWithChildren.buildData());

    BerTlvBuilder constructedWithValue;
    constructedWithValue.addBerTlv(BerTlv(BerTag(0xE1), BerData({1, 2})));
    EXPECT_EQ(bytes("E1 00"), constructedWithValue.buildData());
}

TEST(BerTlvBuilder, LongFormsInsideATree)
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(BerTag(0xD0), BerData(std::vector<unsigned char>(200, 0x5A)));
    BerTlv f0(BerTag(0xF0));
    f0.addData(e1);
    BerData expected = bytes("F0 81 CE E1 81 CB D0 81 C8");
    expected.appendData(BerData(std::vector<unsigned char>(200, 0x5A)));
    EXPECT_EQ(expected, BerTlvBuilder(f0).buildData());
}

TEST(BerTlvBuilder, ListsAndRepeatedBuilds)
{
    std::vector<BerTlv> elements{BerTlv(BerTag(0xC1), BerData({0x41})), BerTlv(BerTag(0xC2))};
    BerTlvBuilder builder{BerTlvs(elements)};
    EXPECT_EQ(bytes("C1 01 41 C2 00"), builder.buildData());
    EXPECT_EQ(builder.buildData(), builder.buildData());
    builder.addBerTlvs(BerTlvs(elements));
    EXPECT_EQ(bytes("C1 01 41 C2 00 C1 01 41 C2 00"), builder.buildData());
}

TEST(BerTlvBuilder, BuildTlvParsesTheOutputBack)
{
    BerTlvBuilder builder(BerTag(0xF0));
    builder.addBerTlv(bodyTree().children[0]);
    BerTlv const root = builder.buildTlv();
    EXPECT_EQ(BerTag(0xF0), root.tag);
    EXPECT_EQ(BerData({0x05}), root.find(BerTag(0xD1))->value);

    BerTlvBuilder list;
    list.addText("A", BerTag(0xC1));
    list.addText("", BerTag(0xC2));
    BerTlvs const parsed = list.buildTlvs();
    ASSERT_EQ(2u, parsed.tlvs.size());
    EXPECT_EQ(BerTag(0xC2), parsed.tlvs[1].tag);
}

TEST(BerTlvBuilder, BuildTlvLetsTheParserExceptionsThrough)
{
    BerTlvBuilder builder(BerTag(0xF0));
    builder.addBytes(bytes("E2 05 01"), BerTag(0xE1));
    EXPECT_THROW(builder.buildTlv(), std::out_of_range);
    EXPECT_THROW(BerTlvBuilder().buildTlv(), std::out_of_range);
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

    BerTlvBuilder wrapped(BerTag(0xF0));
    wrapped.addBytes(BerData(std::vector<unsigned char>(16777212, 0)), BerTag(0xD0));
    EXPECT_THROW(wrapped.buildData(), std::exception);
}
