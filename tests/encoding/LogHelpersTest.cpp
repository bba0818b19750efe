#include "encoding/LogHelpers.h"

#include "CertificationLogCapture.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <regex>

using encodingtest::berData;
using encodingtest::bytes;
using encodingtest::CertificationLogCapture;

namespace {

// A sale request of 40 body bytes: F0 { E1 { D0 "Cd", D1 05 }, DF21 "A".."Z" }.
char const kBody40[] = "F0 26 E1 07 D0 02 4364 D1 01 05 DF21 1A 4142434445464748494A4B4C4D4E4F505152535455565758595A";

oxa::ZUVAHeader saleHeader()
{
    return oxa::ZUVAHeader(oxa::buildZUVARequestHeader(berData("000A"), oxa::ECTMessageLength(40).data()));
}

// What the log makes of a text: control bytes other than tab, CR and LF become '.'.
std::string printable(std::string text)
{
    for (char& c : text) {
        unsigned char const byte = static_cast<unsigned char>(c);
        bool const keep = (byte >= 0x20 && byte <= 0x7E) || c == '\t' || c == '\n' || c == '\r';
        if (!keep)
            c = '.';
    }
    return text;
}

std::string const kDatePrefix = "^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d: ";

} // namespace

TEST(LogHelpers, writesTheMessageBlockWithContinuousOffsets)
{
    CertificationLogCapture log;
    oxa::ZUVAHeader const header = saleHeader();
    oxa::ZUVABody const body(bytes(kBody40));
    ASSERT_EQ(40, body.data().size());

    oxa::logZUVAMessage("Message send", "Sale", header, body);

    std::string const rule(69, '-');
    std::string const contents = log.contents();
    std::size_t const titleStart = 2 * (rule.size() + 1);
    ASSERT_GT(contents.size(), titleStart);
    EXPECT_EQ(rule + "\n" + rule + "\n", contents.substr(0, titleStart));

    std::size_t const titleEnd = contents.find('\n', titleStart);
    std::string const title = contents.substr(titleStart, titleEnd - titleStart);
    EXPECT_TRUE(std::regex_search(title, std::regex(kDatePrefix + "Message send \\| Sale$"))) << title;

    std::string const expectedRest = "\n"
                                     "---------------\nMessage header:\n---------------\n\n"
        + header.dump() + "\n" + "-------------\nMessage body:\n-------------\n\n"
        + printable(body.dumpWithLogOffsetStartAt(38)) + "\n" + "\n\n";
    EXPECT_EQ(expectedRest, contents.substr(titleEnd + 1));
    EXPECT_NE(std::string::npos, contents.find("0036  Len     00 40\n"));
    EXPECT_NE(std::string::npos, contents.find("\n0038          F0 26\n"));
}

TEST(LogHelpers, emptyTextEndsTheTitleWithTheSeparatorAndNothingIsWrittenWhileOff)
{
    {
        CertificationLogCapture log;
        oxa::logZUVAMessage("Message received", "", saleHeader(), oxa::ZUVABody(bytes(kBody40)));
        EXPECT_TRUE(std::regex_search(log.contents(), std::regex(": Message received \\| \n\n")));
    }
    CertificationLogCapture log(false);
    oxa::logZUVAMessage("Message send", "Sale", saleHeader(), oxa::ZUVABody(bytes(kBody40)));
    EXPECT_EQ("", log.contents());
}
