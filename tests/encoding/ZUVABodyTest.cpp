#include "encoding/ZUVABody.h"

#include "TestBytes.h"
#include "simterminal/SimMessage.h"
#include "support/TerminalTextCases.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using encodingtest::berData;
using encodingtest::bytes;
using encodingtest::hexOf;
using testsupport::SimTlv;

namespace {

// F0 { E1 { D0 "Rd", D1 07 }, elements... }, built with the simulated terminal's own codec.
oxa::ZUVABody replyBody(std::vector<SimTlv> const& elements)
{
    testsupport::Bytes const body = testsupport::SimMessage::buildBody("Rd", 7, elements);
    return oxa::ZUVABody(QByteArray(reinterpret_cast<char const*>(body.data()), static_cast<int>(body.size())));
}

// BF8101 holding the given elements.
SimTlv result(std::vector<SimTlv> const& fields)
{
    return SimTlv::constructed(testsupport::fromHex("BF8101"), fields);
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

// An incident is reported only for errors, and only inside BF8101.
TEST(ZUVABody, incidentRejectionAndActionIdentifierOfAReply)
{
    EXPECT_EQ("???", replyBody({}).rejectionCode().code());
    EXPECT_FALSE(replyBody({}).saleSystemActionIdentifier());
    for (char const* noError : {"0000", "0001"})
        EXPECT_FALSE(replyBody({result({SimTlv::hex("DF940D", noError)})}).incidentCode()) << noError;
    auto const code = replyBody({result({SimTlv::hex("DF940D", "1234")})}).incidentCode();
    ASSERT_TRUE(code);
    EXPECT_EQ("1234", code->code());
    EXPECT_FALSE(replyBody({SimTlv::hex("DF940D", "1234")}).incidentCode());
    EXPECT_EQ("0005", replyBody({result({SimTlv::hex("DF2D", "0005")})}).rejectionCode().code());
    auto const identifier = replyBody({SimTlv::hex("DF9464", "0000002A")}).saleSystemActionIdentifier();
    ASSERT_TRUE(identifier);
    EXPECT_EQ(QString("0000002A"), *identifier);
}

// Unreadable merchant data gives no text: the error reply that carries it must still be reported.
TEST(ZUVABody, merchantTextComesFromTheElementsInsideDF9460)
{
    auto const text = replyBody({SimTlv::hex("DF9460", "DF13095448414E4B20594F55")}).merchantText();
    ASSERT_TRUE(text);
    EXPECT_EQ(QString("THANK YOU"), *text);
    EXPECT_EQ(QString::fromUtf8("MERCI \xC3\xA0 vous"),
              replyBody({SimTlv::hex("DF9460", "DF130C4D4552434920E020766F7573")}).merchantText().value());
    // Cut to its length inside its last letter: the letters before stay.
    EXPECT_EQ(QString::fromUtf8("MERCI \xC3\xA0 ") + QChar(QChar::ReplacementCharacter),
              replyBody({SimTlv::hex("DF9460", "DF130A4D4552434920C3A020C3")}).merchantText().value());
    for (auto const& text : testsupport::terminalTextCases()) {
        SimTlv const merchantData = SimTlv::primitive(testsupport::fromHex("DF9460"), SimTlv::text("DF13", text.bytes).encode());
        EXPECT_EQ(text.read, replyBody({merchantData}).merchantText().value()) << testsupport::toHex(merchantData.value);
    }
    EXPECT_FALSE(replyBody({SimTlv::hex("DF13", "41")}).merchantText());
    for (char const* elements : {"DF138400000005", "DF"})
        EXPECT_FALSE(replyBody({SimTlv::hex("DF9460", elements)}).merchantText()) << elements;
}

TEST(ECTMessageSequenceNumber, zeroToNinetyNineBothWays)
{
    EXPECT_EQ("99", hexOf(oxa::ECTMessageSequenceNumber(99).data()));
    EXPECT_THROW(oxa::ECTMessageSequenceNumber{100}, std::invalid_argument);
    EXPECT_EQ(0, oxa::ECTMessageSequenceNumber(berData("0100")).value());
}
