#include "ErrorText.h"
#include "client/PreprocessJsonResult.h"
#include "client/ServiceInformationResult.h"
#include "client/TransactionHelpers.h"

#include <gtest/gtest.h>

namespace {

using clienttest::errorText;

TEST(PreprocessJsonResult, DecidesBetweenResultAndError)
{
    const std::string reason = R"("extraInformation":[{"key":"reason","val":"gone"}])";
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"result":{}})", "ok"},
        {R"({"result":"ok"})", "2/16"},
        {"not json", "2/16"},
        {R"({"error":"text","result":{}})", "ok"},
        {R"({"error":{"code":5}})", "5/0"},
        {R"({"error":{}})", "0/0"},
        {R"({"error":{"code":2,"causeCode":15,)" + reason + "}}", "2/15 reason=gone"},
        {R"({"error":{"code":2,"causeCode":18,"incidentCode":{"code":"1803"}}})", "1/19 1803"},
        {R"({"error":{"incidentCode":{"code":"2630"},"rejectionCode":{"code":"01"}}})", "1/19 2630"},
        {R"({"error":{"rejectionCode":{"code":"01"},)" + reason + "}}", "1/20 rej=01 reason=gone"},
        {R"({"error":{"code":1,"extraInformation":[{"key":"reason","val":"1"},{"key":"reason","val":"2"}]}})",
         "1/0 reason=1"},
        {R"({"error":{"code":2,"extraInformation":"no array"}})", "2/0"},
        {R"({"error":{"code":2,"extraInformation":[{"key":[],"val":"x"}]}})", "2/16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        Json::Value document;
        boost::optional<ect::ECTError> error;
        const bool succeeded = ect::PreprocessJsonResult("Any", c.first, document, error);
        EXPECT_EQ(succeeded, c.second == "ok");
        EXPECT_EQ(errorText(error), c.second);
    }
}

TEST(TransactionHelpers, ReadersGiveTheDefaultForMissingNullOrMistypedMembers)
{
    Json::Value object;
    ASSERT_TRUE(ect::parseJson(R"({"text":"abc","number":7,"big":5000000000,"flag":true,"null":null,
                                  "id":"0000002A","shortId":"002A"})",
                               object));
    EXPECT_EQ(ect::readText(object, "text") + ect::readText(object, "number") + ect::readText(Json::Value(3), "text"),
              "abc");
    EXPECT_FALSE(ect::readOptionalText(object, "null") || ect::readOptionalText(object, "missing"));
    EXPECT_TRUE(ect::readBool(object, "flag"));
    EXPECT_FALSE(ect::readBool(object, "text") || ect::readBool(object, "missing"));
    EXPECT_EQ(ect::readInteger(object, "big") + ect::readInteger(object, "flag"), 5000000000LL);
    EXPECT_EQ(ect::readActionIdentifier(object, "id").value_or(ect::ECTSaleSystemActionIdentifier()).value(), 42u);
    EXPECT_FALSE(ect::readActionIdentifier(object, "shortId") || ect::readActionIdentifier(object, "null"));
    EXPECT_FALSE(ect::ServiceInformationResult(R"({"result":{"cashbackEnabled":"yes"}})", "T1").cashbackEnabled());
}

} // namespace
