#include "common/ResultsToJson.h"

#include <gtest/gtest.h>

using oxa::jsonFromError;
using namespace ect;

TEST(ResultsToJsonTest, EmptyOptionalGivesEmptyErrorObject)
{
    EXPECT_EQ("{\n   \"error\" : {}\n}\n", jsonFromError(boost::none));
}

TEST(ResultsToJsonTest, CodeOnly)
{
    EXPECT_EQ("{\n   \"error\" : {\n      \"code\" : 5\n   }\n}\n", jsonFromError(ECTError(ECTErrorCode::Timeout)));
}

TEST(ResultsToJsonTest, TerminalNotConnected)
{
    ECTError const error(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidRequest,
                         {{"reason", "Terminal with id 12345678 is not connected"}});
    EXPECT_EQ("{\n"
              "   \"error\" : {\n"
              "      \"causeCode\" : 15,\n"
              "      \"code\" : 2,\n"
              "      \"extraInformation\" : [\n"
              "         {\n"
              "            \"key\" : \"reason\",\n"
              "            \"val\" : \"Terminal with id 12345678 is not connected\"\n"
              "         }\n"
              "      ]\n"
              "   }\n"
              "}\n",
              jsonFromError(error));
}

TEST(ResultsToJsonTest, IncidentCodesCarryTheirErrorFlag)
{
    EXPECT_EQ("{\n"
              "   \"error\" : {\n"
              "      \"causeCode\" : 19,\n"
              "      \"code\" : 1,\n"
              "      \"incidentCode\" : {\n"
              "         \"code\" : \"0001\",\n"
              "         \"error\" : false\n"
              "      }\n"
              "   }\n"
              "}\n",
              jsonFromError(ECTError(ECTIncidentCode("0001"))));
    EXPECT_NE(std::string::npos, jsonFromError(ECTError(ECTIncidentCode("2630"))).find("\"error\" : true"));
}

TEST(ResultsToJsonTest, RejectionUnnamedCauseAndKeyOrder)
{
    EXPECT_EQ("{\n"
              "   \"error\" : {\n"
              "      \"causeCode\" : 20,\n"
              "      \"code\" : 1,\n"
              "      \"rejectionCode\" : {\n"
              "         \"code\" : \"17\"\n"
              "      }\n"
              "   }\n"
              "}\n",
              jsonFromError(ECTError(ECTRejectionCode("17"))));

    ECTError const unnamed(ECTErrorCode::Technical_Issue, static_cast<ECTErrorCauseCode>(51),
                           {{"reason", "bad \"quote\""}, {"attemptsLeft", "2"}});
    EXPECT_EQ("{\n"
              "   \"error\" : {\n"
              "      \"causeCode\" : 51,\n"
              "      \"code\" : 2,\n"
              "      \"extraInformation\" : [\n"
              "         {\n"
              "            \"key\" : \"attemptsLeft\",\n"
              "            \"val\" : \"2\"\n"
              "         },\n"
              "         {\n"
              "            \"key\" : \"reason\",\n"
              "            \"val\" : \"bad \\\"quote\\\"\"\n"
              "         }\n"
              "      ]\n"
              "   }\n"
              "}\n",
              jsonFromError(unnamed));
}
