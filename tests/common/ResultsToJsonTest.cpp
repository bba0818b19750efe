#include "common/ResultsToJson.h"

#include <gtest/gtest.h>

using oxa::jsonFromError;
using namespace ect;

TEST(ResultsToJsonTest, ErrorDocumentsByteForByte)
{
    struct Case {
        boost::optional<ECTError> error;
        char const* document;
    };
    std::vector<Case> const cases{
        {boost::none, "{\n   \"error\" : {}\n}\n"},
        {ECTError(ECTErrorCode::Timeout), "{\n   \"error\" : {\n      \"code\" : 5\n   }\n}\n"},
        {ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidRequest,
                  {{"reason", "Terminal with id 12345678 is not connected"}}),
         R"({
   "error" : {
      "causeCode" : 15,
      "code" : 2,
      "extraInformation" : [
         {
            "key" : "reason",
            "val" : "Terminal with id 12345678 is not connected"
         }
      ]
   }
}
)"},
        {ECTError(ECTIncidentCode("0001")), R"({
   "error" : {
      "causeCode" : 19,
      "code" : 1,
      "incidentCode" : {
         "code" : "0001",
         "error" : false
      }
   }
}
)"},
        {ECTError(ECTRejectionCode("17")), R"({
   "error" : {
      "causeCode" : 20,
      "code" : 1,
      "rejectionCode" : {
         "code" : "17"
      }
   }
}
)"}};
    for (Case const& c : cases)
        EXPECT_EQ(c.document, jsonFromError(c.error));
    EXPECT_NE(std::string::npos, jsonFromError(ECTError(ECTIncidentCode("2630"))).find("\"error\" : true"));
}
