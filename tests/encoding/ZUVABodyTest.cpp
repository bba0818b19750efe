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

Ber::BerTlv primitive(Ber::BerTag tag, char const* hex)
{
    return Ber::BerTlv(tag, berData(hex));
}

// F0 { E1 { D0 "Rd", D1 07 }, elements... }
oxa::ZUVABody replyBody(std::vector<Ber::BerTlv> const& elements)
{
    Ber::BerTlvBuilder builder(Ber::BerTag(0xF0));
    builder.addBerTlv(Ber::BerTlv(Ber::BerTag(0xE1), {primitive(0xD0, "5264"), primitive(0xD1, "07")}));
    for (Ber::BerTlv const& element : elements)
        builder.addBerTlv(element);
    Ber::BerData const data = builder.buildData();
    return oxa::ZUVABody(QByteArray(reinterpret_cast<char const*>(data.data()), static_cast<int>(data.length())));
}

Ber::BerTlv result(std::vector<Ber::BerTlv> const& fields)
{
    return Ber::BerTlv(Ber::BerTag(0xBF, 0x81, 0x01), fields);
}

Ber::BerTlv merchantData(char const* elementsHex)
{
    return primitive(Ber::BerTag(0xDF, 0x94, 0x60), elementsHex);
}

} // namespace

TEST(ZUVABody, readsMessageTypeAndSequenceNumberOfAnEnvelopeAtAnyDepth)
{
    EXPECT_EQ(bytes("F0 09 E1 07 D0 02 52 64 D1 01 07"), replyBody({}).data());
    struct Case { char const* hex; char const* type; int sequence; };
    for (Case const& c : {Case{"F0 0B E2 09 E1 07 D0 02 52 64 D1 01 07", "Rd", 7},
                          Case{"F0 09 E1 07 D0 02 52 00 D1 01 07", "R", 7},  // the type ends at a zero byte
                          Case{"F0 06 E1 04 D0 02 52 64", "Rd", 0}}) {
        oxa::ZUVABody const body(bytes(c.hex));
        EXPECT_EQ(QString(c.type), body.messageTypeId()) << c.hex;
        EXPECT_EQ(c.sequence, body.sequenceNumber().value()) << c.hex;
    }
    // Malformed bytes throw instead of being read past their end.
    for (char const* hex : {"F0 05 E1 03 D1 01 07", "D0 02 52 64", "F0 05 E1 03 D0", "F0 84 00 00 00 05"})
        EXPECT_ANY_THROW(oxa::ZUVABody(bytes(hex))) << hex;
}

TEST(ZUVABody, incidentRejectionAndActionIdentifierOfAReply)
{
    Ber::BerTag const incident(0xDF, 0x94, 0x0D);
    EXPECT_EQ("???", replyBody({}).rejectionCode().code());
    EXPECT_FALSE(replyBody({}).saleSystemActionIdentifier());
    // An incident is reported only for errors, and only inside BF8101.
    for (char const* noError : {"0000", "0001"})
        EXPECT_FALSE(replyBody({result({primitive(incident, noError)})}).incidentCode()) << noError;
    auto const code = replyBody({result({primitive(incident, "1234")})}).incidentCode();
    ASSERT_TRUE(code);
    EXPECT_EQ("1234", code->code());
    EXPECT_FALSE(replyBody({primitive(incident, "1234")}).incidentCode());
    EXPECT_EQ("0005", replyBody({result({primitive(Ber::BerTag(0xDF, 0x2D), "0005")})}).rejectionCode().code());
    auto const identifier = replyBody({primitive(Ber::BerTag(0xDF, 0x94, 0x64), "0000002A")}).saleSystemActionIdentifier();
    ASSERT_TRUE(identifier);
    EXPECT_EQ(QString("0000002A"), *identifier);
}

TEST(ZUVABody, merchantTextComesFromTheElementsInsideDF9460)
{
    auto const text = replyBody({merchantData("DF13 09 5448414E4B20594F55")}).merchantText();
    ASSERT_TRUE(text);
    EXPECT_EQ(QString("THANK YOU"), *text);
    EXPECT_FALSE(replyBody({primitive(Ber::BerTag(0xDF, 0x13), "41")}).merchantText());
    // Unreadable merchant data gives no text: the error reply that carries it must still be reported.
    for (char const* elements : {"DF13 84 00000005", "DF"})
        EXPECT_FALSE(replyBody({merchantData(elements)}).merchantText()) << elements;
}

TEST(ECTMessageSequenceNumber, zeroToNinetyNineBothWays)
{
    EXPECT_EQ("99", hexOf(oxa::ECTMessageSequenceNumber(99).data()));
    EXPECT_THROW(oxa::ECTMessageSequenceNumber{100}, std::invalid_argument);
    EXPECT_EQ(0, oxa::ECTMessageSequenceNumber(berData("0100")).value());
}
