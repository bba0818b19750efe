#include "client/mmi/MMITransactionResult.h"
#include "client/mmi/VerifyPinResult.h"

#include <gtest/gtest.h>

#include <climits>

using namespace ect;

namespace {

std::string errorOf(const boost::optional<ECTError>& error)
{
    if (!error)
        return "none";
    return std::to_string(static_cast<int>(error->code())) + "/" +
           std::to_string(error->causeCode() ? static_cast<int>(*error->causeCode()) : 0);
}

} // namespace

// Malformed flags make an error, not a "no key pressed" that a PIN flow
// would take for an accepted PIN.
TEST(MMIResultsTest, KeyFlagsAndErrors)
{
    const struct {
        const char* reply;
        const char* error;
        const char* keys; // ok, stop, aborted
    } rows[] = {
        {R"({"result":{}})", "none", "000"},
        {R"({"result":{"okKeyPressed":true,"stopKeyPressed":false,"aborted":false}})", "none", "100"},
        {R"({"result":{"stopKeyPressed":1,"aborted":null}})", "none", "010"},
        {R"({"result":{"okKeyPressed":true},"error":{"code":5}})", "5/0", "000"},
        {"not json", "2/16", "000"},
        {R"({"result":{"okKeyPressed":"true"}})", "2/16", "000"},
        {R"({"result":{"okKeyPressed":true,"stopKeyPressed":[]}})", "2/16", "000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        const MMITransactionResult result("MMITransaction", row.reply, "T1");
        EXPECT_EQ(row.error, errorOf(result.error()));
        const std::string keys{char('0' + result.okKeyPressed()), char('0' + result.stopKeyPressed()),
                               char('0' + result.aborted())};
        EXPECT_EQ(row.keys, keys);
    }
}

TEST(MMIResultsTest, AttemptsLeftNeverThrowsAndFitsAnInt)
{
    const auto left = [](const char* value) {
        return std::string(R"({"error":{"code":1,"extraInformation":[{"key":"attemptsLeft","val":")") + value +
               R"("}]}})";
    };
    const struct {
        std::string text;
        const char* error;
        int attemptsLeft;
    } rows[] = {
        {R"({ "result": { "attemptsLeft": 1 } } )", "none", 1},
        {R"({"result":{"attemptsLeft":99999999999}})", "none", INT_MAX},
        {left("0"), "1/0", 0},
        {left(" -2x"), "1/0", -2},
        {left("4294967297"), "1/0", INT_MAX},
        {left("-4294967297"), "1/0", INT_MIN},
        {R"({"error":{"code":1},"result":{"attemptsLeft":3}})", "1/0", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const VerifyPinResult result("MMITransaction", row.text, "T1");
        EXPECT_EQ(row.error, errorOf(result.error()));
        EXPECT_EQ(row.attemptsLeft, result.attemptsLeft());
    }
}
