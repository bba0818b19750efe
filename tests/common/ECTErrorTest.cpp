#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"
#include "common/HexToBytes.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace ect;

namespace {

template <typename T>
std::string printed(T const& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

ECTErrorCauseCode cause(int value)
{
    return static_cast<ECTErrorCauseCode>(value);
}

} // namespace

TEST(ECTErrorTest, UnnamedValuesSurviveAndExtraInformationIsReplaced)
{
    ECTError const unnamed(static_cast<ECTErrorCode>(-7), cause(123456));
    EXPECT_EQ(-7, static_cast<int>(unnamed.code()));
    EXPECT_EQ(123456, static_cast<int>(*unnamed.causeCode()));

    ECTError replaced(ECTErrorCode::Rejected);
    replaced.addExtraInfo("attemptsLeft", "2");
    replaced.addExtraInfo("attemptsLeft", "1");
    EXPECT_EQ((std::map<std::string, std::string>{{"attemptsLeft", "1"}}), replaced.extraInformationData());
}

TEST(ECTErrorTest, PrintersAndDescriptions)
{
    EXPECT_EQ("Technical_Issue", printed(ECTErrorCode::Technical_Issue));
    EXPECT_EQ("No_WIFI", printed(ECTErrorCode::No_WIFI));
    for (int unnamed : {4, 0, -1})
        EXPECT_EQ("", printed(static_cast<ECTErrorCode>(unnamed))) << unnamed;
    using OptionalCause = boost::optional<ECTErrorCauseCode>;
    EXPECT_EQ("RetailService_CashbackNotAllowedForCurrency", printed(OptionalCause(cause(119))));
    EXPECT_EQ("RetailService_CashbackNotSpecified", printed(OptionalCause(cause(118))));
    EXPECT_EQ("MMIService_InvalidPinCode", printed(OptionalCause(cause(201))));
    for (int unnamed : {0, 51, 120})
        EXPECT_EQ("", printed(OptionalCause(cause(unnamed)))) << unnamed;
    EXPECT_EQ("", printed(OptionalCause()));

    EXPECT_EQ("Rejected, IncidentCode [incident: 2630]", ECTError(ECTIncidentCode("2630")).description());
    EXPECT_EQ("Technical_Issue, InvalidRequest [\n    reason: gone\n]",
              ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidRequest, {{"reason", "gone"}})
                  .description());
    EXPECT_EQ("Timeout, ", ECTError(ECTErrorCode::Timeout).description());
    EXPECT_EQ("Rejected, RejectionCode [rejection: 17]  [\n    a: 1\n]",
              ECTError(ECTRejectionCode("17"), {{"a", "1"}}).description());
    EXPECT_EQ("Rejected, IncidentCode [incident: 2630]  [\n    a: 1\n]",
              ECTError(ECTIncidentCode("2630"), {{"a", "1"}}).description());
    EXPECT_EQ("[\n]", dump({}));
    EXPECT_EQ("[\n    a: 1,\n    b: 2\n]", dump({{"b", "2"}, {"a", "1"}}));
}

TEST(ECTErrorTest, IncidentCodeSuccessIsExactlyTwoCodes)
{
    for (char const* success : {"0000", "0001"})
        EXPECT_TRUE(ECTIncidentCode(success).isSuccess() && !ECTIncidentCode(success).isErrorCode()) << success;
    for (char const* failure : {"", "0002", " 0000", "00001"})
        EXPECT_TRUE(ECTIncidentCode(failure).isErrorCode()) << failure;
}

TEST(ECTErrorTest, HexToBytesIsLenient)
{
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(Bytes{}, HexToBytes(""));
    EXPECT_EQ((Bytes{0x0A, 0x1B}), HexToBytes("0a1B"));
    EXPECT_EQ((Bytes{0x0A, 0x01}), HexToBytes("0A1"));
    EXPECT_EQ(Bytes{0x00}, HexToBytes("ZZ"));
    EXPECT_EQ(Bytes{0x01}, HexToBytes("1G"));
    EXPECT_EQ(Bytes{0x00}, HexToBytes("\xC3\xA9"));
}

TEST(ECTErrorTest, OriginalSaleSystemActionIdentifier)
{
    EXPECT_FALSE(ECTError(ECTErrorCode::Rejected).originalSaleSystemActionIdentifier());
    ECTError error(ECTErrorCode::Rejected, {{"saleSystemActionIdentifier", "0000002A"}});
    ASSERT_TRUE(error.originalSaleSystemActionIdentifier());
    EXPECT_EQ(42u, error.originalSaleSystemActionIdentifier()->value());

    error.addExtraInfo("saleSystemActionIdentifier", "00002A");
    try {
        error.originalSaleSystemActionIdentifier();
        FAIL() << "six digits accepted";
    } catch (ECTError const& thrown) {
        EXPECT_EQ(ECTErrorCode::Technical_Issue, thrown.code());
        EXPECT_EQ(51, static_cast<int>(*thrown.causeCode()));
    }
}
