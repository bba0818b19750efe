#include "common/ResultsToJson.h"

#include <gtest/gtest.h>

using oxa::jsonFromError;
using namespace ect;

TEST(ResultsToJsonTest, ErrorDocumentsByteForByte)
{
    ECTError incident{ECTIncidentCode("0001")};
    incident.addExtraInfo("reason", "Terminal with id 12345678 is not connected");
    EXPECT_EQ(R"({
   "error" : {
      "causeCode" : 19,
      "code" : 1,
      "extraInformation" : [
         {
            "key" : "reason",
            "val" : "Terminal with id 12345678 is not connected"
         }
      ],
      "incidentCode" : {
         "code" : "0001",
         "error" : false
      }
   }
}
)",
              jsonFromError(incident));
    EXPECT_NE(std::string::npos, jsonFromError(ECTError(ECTIncidentCode("2630"))).find("\"error\" : true"));
    EXPECT_EQ("{\n   \"error\" : {}\n}\n", jsonFromError(boost::none));
}
