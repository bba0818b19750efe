#include "encoding/ZUVABody.h"

#include "TestBytes.h"
#include "encoding/ber/BerTlvBuilder.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using encodingtest::berData;
using encodingtest::bytes;
using encodingtest::hexOf;

namespace {

char const kRdEnvelope[] = "F0 09 E1 07 D0 02 52 64 D1 01 07";

Ber::BerTlv primitive(Ber::BerTag tag, char const* hex)
{
    return Ber::BerTlv(tag, berData(hex));
}

Ber::BerTlv constructed(Ber::BerTag tag, std::vector<Ber::BerTlv> const& children)
{
    return Ber::BerTlv(tag, children);
}

// F0 { E1 { D0 "Rd", D1 07 }, elements... }
QByteArray replyBody(std::vector<Ber::BerTlv> const& elements)
{
    Ber::BerTlvBuilder builder(Ber::BerTag(0xF0));
    builder.addBerTlv(constructed(0xE1, {primitive(0xD0, "5264"), primitive(0xD1, "07")}));
    for (Ber::BerTlv const& element : elements)
        builder.addBerTlv(element);
    Ber::BerData const data = builder.buildData();
    return QByteArray(reinterpret_cast<char const*>(data.data()), static_cast<int>(data.length()));
}

Ber::BerTlv result(std::vector<Ber::BerTlv> const& fields)
{
    return constructed(Ber::BerTag(0xBF, 0x81, 0x01), fields);
}

Ber::BerTlv merchantData(char const* elementsHex)
{
    return primitive(Ber::BerTag(0xDF, 0x94, 0x60), elementsHex);
}

} // namespace

TEST(ZUVABody, readsMessageTypeAndSequenceNumberOfAnEnvelope)
{
    oxa::ZUVABody const body(bytes(kRdEnvelope));
    EXPECT_EQ(QString("Rd"), body.messageTypeId());
    EXPECT_EQ(7, body.sequenceNumber().value());
    EXPECT_EQ(bytes(kRdEnvelope), body.data());
    EXPECT_EQ(replyBody({}), body.data());
}

TEST(ZUVABody, findsTheEnvelopeAtAnyDepth)
{
    oxa::ZUVABody const body(bytes("F0 0B E2 09 E1 07 D0 02 52 64 D1 01 07"));
    EXPECT_EQ(QString("Rd"), body.messageTypeId());
    EXPECT_EQ(7, body.sequenceNumber().value());
}

TEST(ZUVABody, refusesABodyWithoutMessageType)
{
    for (char const* hex : {"F0 05 E1 03 D1 01 07", "F0 04 D0 02 52 64", "D0 02 52 64"}) {
        try {
            oxa::ZUVABody body(bytes(hex));
            ADD_FAILURE() << "accepted " << hex;
        } catch (std::invalid_argument const& error) {
            EXPECT_STREQ("unknown message type id in body", error.what()) << hex;
        }
    }
}

TEST(ZUVABody, malformedBytesThrowInsteadOfBeingReadPastTheirEnd)
{
    for (char const* hex : {"", "F0", "F0 05 E1 03 D0", "F0 84 00 00 00 05", "F0 09 E1 07 D0 02 52 64 D1 81",
                            "F0 09 E1 07 D0 02 52 64 DF"}) {
        EXPECT_ANY_THROW(oxa::ZUVABody(bytes(hex))) << hex;
    }
}

TEST(ZUVABody, messageTypeEndsAtAZeroByte)
{
    oxa::ZUVABody const body(bytes("F0 09 E1 07 D0 02 52 00 D1 01 07"));
    EXPECT_EQ(QString("R"), body.messageTypeId());
}

TEST(ZUVABody, sequenceNumberDecodesPackedDecimalOrGivesZero)
{
    EXPECT_EQ(99, oxa::ZUVABody(bytes("F0 09 E1 07 D0 02 52 64 D1 01 99")).sequenceNumber().value());
    EXPECT_EQ(0, oxa::ZUVABody(bytes("F0 09 E1 07 D0 02 52 64 D1 01 A0")).sequenceNumber().value());
    EXPECT_EQ(0, oxa::ZUVABody(bytes("F0 06 E1 04 D0 02 52 64")).sequenceNumber().value());
}

TEST(ZUVABody, incidentCodeIsReportedOnlyForErrors)
{
    Ber::BerTag const incident(0xDF, 0x94, 0x0D);
    EXPECT_FALSE(oxa::ZUVABody(replyBody({})).incidentCode());
    EXPECT_FALSE(oxa::ZUVABody(replyBody({result({primitive(incident, "0000")})})).incidentCode());
    EXPECT_FALSE(oxa::ZUVABody(replyBody({result({primitive(incident, "0001")})})).incidentCode());
    auto const code = oxa::ZUVABody(replyBody({result({primitive(incident, "1234")})})).incidentCode();
    ASSERT_TRUE(code);
    EXPECT_EQ("1234", code->code());
    // Only inside BF8101.
    EXPECT_FALSE(oxa::ZUVABody(replyBody({primitive(incident, "1234")})).incidentCode());
}

TEST(ZUVABody, rejectionCodeOrQuestionMarks)
{
    Ber::BerTag const rejection(0xDF, 0x2D);
    EXPECT_EQ("???", oxa::ZUVABody(replyBody({})).rejectionCode().code());
    EXPECT_EQ("???", oxa::ZUVABody(replyBody({result({})})).rejectionCode().code());
    EXPECT_EQ("0005", oxa::ZUVABody(replyBody({result({primitive(rejection, "0005")})})).rejectionCode().code());
}

TEST(ZUVABody, merchantTextComesFromTheElementsInsideDF9460)
{
    // DF13 "THANK YOU"
    auto const text = oxa::ZUVABody(replyBody({merchantData("DF13 09 5448414E4B20594F55")})).merchantText();
    ASSERT_TRUE(text);
    EXPECT_EQ(QString("THANK YOU"), *text);
    EXPECT_FALSE(oxa::ZUVABody(replyBody({merchantData("DF14 01 41")})).merchantText());
    EXPECT_FALSE(oxa::ZUVABody(replyBody({primitive(Ber::BerTag(0xDF, 0x13), "41")})).merchantText());
    EXPECT_FALSE(oxa::ZUVABody(replyBody({})).merchantText());
}

TEST(ZUVABody, unreadableMerchantDataGivesNoText)
{
    // The error reply that carries it must still be reported.
    for (char const* elements : {"DF13 84 00000005", "E1 05 D0 01", "DF"})
        EXPECT_FALSE(oxa::ZUVABody(replyBody({merchantData(elements)})).merchantText()) << elements;
}

TEST(ZUVABody, saleSystemActionIdentifierAsHexText)
{
    auto const identifier =
        oxa::ZUVABody(replyBody({primitive(Ber::BerTag(0xDF, 0x94, 0x64), "0000002A")})).saleSystemActionIdentifier();
    ASSERT_TRUE(identifier);
    EXPECT_EQ(QString("0000002A"), *identifier);
    EXPECT_FALSE(oxa::ZUVABody(replyBody({})).saleSystemActionIdentifier());
}

TEST(ZUVABody, dumpContinuesTheHeaderOffsets)
{
    std::string const expected = "Offset        Data (byte stream)\n"
                                 "--------------------------------\n\n"
                                 "0038          F0 09\n"
                                 "0040          E1 07\n"
                                 "0042          D0 02 52 64    | [Rd]\n"
                                 "0046          D1 01 07    | [\x07]\n"
                                 "\n\n"
                                 "BerTlv format:\n"
                                 "   + [F0]\r\n"
                                 "     + [E1]\r\n"
                                 "         - [D0] 5264\t\t\t\t[ascii: Rd]\r\n"
                                 "         - [D1] 07\t\t\t\t[ascii: \x07]\r\n"
                                 "\n\n";
    EXPECT_EQ(expected, oxa::ZUVABody(bytes(kRdEnvelope)).dumpWithLogOffsetStartAt(38));
}

TEST(ZUVABody, defaultBodyIsEmpty)
{
    oxa::ZUVABody const body;
    EXPECT_TRUE(body.messageTypeId().isEmpty());
    EXPECT_TRUE(body.data().isEmpty());
    EXPECT_EQ(0, body.sequenceNumber().value());
}

TEST(ECTMessageSequenceNumber, acceptsZeroToNinetyNine)
{
    EXPECT_EQ("00", hexOf(oxa::ECTMessageSequenceNumber().data()));
    EXPECT_EQ("00", hexOf(oxa::ECTMessageSequenceNumber(0).data()));
    EXPECT_EQ("05", hexOf(oxa::ECTMessageSequenceNumber(5).data()));
    EXPECT_EQ("42", hexOf(oxa::ECTMessageSequenceNumber(42).data()));
    EXPECT_EQ("99", hexOf(oxa::ECTMessageSequenceNumber(99).data()));
    for (int value : {100, -1}) {
        try {
            oxa::ECTMessageSequenceNumber number(value);
            ADD_FAILURE() << "accepted " << value;
        } catch (std::invalid_argument const& error) {
            EXPECT_STREQ("invalid sequence nr", error.what());
        }
    }
}

TEST(ECTMessageSequenceNumber, decodedOutOfRangeGivesZero)
{
    EXPECT_EQ(42, oxa::ECTMessageSequenceNumber(berData("42")).value());
    EXPECT_EQ(0, oxa::ECTMessageSequenceNumber(berData("0100")).value());
    EXPECT_EQ(0, oxa::ECTMessageSequenceNumber(berData("A0")).value());
    EXPECT_EQ(0, oxa::ECTMessageSequenceNumber(berData("")).value());
}
