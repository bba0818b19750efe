#include "client/TransactionHelpers.h"

#include "client/PreprocessJsonResult.h"
#include "common/HexToBytes.h"

#include <json/reader.h>
#include <json/writer.h>

#include <time.h>

namespace ect {

namespace {

// The member when it is present and of the wanted type, else null.
const Json::Value& memberOfType(const Json::Value& object, const char* key, bool (Json::Value::*isType)() const)
{
    static const Json::Value& null = *new Json::Value;
    if (!object.isObject())
        return null;
    const Json::Value& member = object[key];
    return (member.*isType)() ? member : null;
}

} // namespace

bool parseJson(const std::string& text, Json::Value& document)
{
    return Json::Reader().parse(text, document, false);
}

std::string writeJson(const Json::Value& document)
{
    return Json::StyledWriter().write(document);
}

Json::Value makeRequest(const std::string& action, const std::string& type)
{
    Json::Value request(Json::objectValue);
    request["transaction"]["action"] = action;
    if (!type.empty())
        request["transaction"]["type"] = type;
    return request;
}

ParsedReply parseReply(const std::string& name, const std::string& reply)
{
    ParsedReply parsed;
    Json::Value document;
    if (PreprocessJsonResult(name, reply, document, parsed.error))
        parsed.result = document["result"];
    return parsed;
}

std::string readText(const Json::Value& object, const char* key)
{
    return readOptionalText(object, key).value_or(std::string());
}

boost::optional<std::string> readOptionalText(const Json::Value& object, const char* key)
{
    const Json::Value& member = memberOfType(object, key, &Json::Value::isString);
    if (member.isNull())
        return boost::none;
    return member.asString();
}

bool readBool(const Json::Value& object, const char* key)
{
    return readOptionalBool(object, key).value_or(false);
}

boost::optional<bool> readOptionalBool(const Json::Value& object, const char* key)
{
    const Json::Value& member = memberOfType(object, key, &Json::Value::isBool);
    if (member.isNull())
        return boost::none;
    return member.asBool();
}

std::int64_t readInteger(const Json::Value& object, const char* key)
{
    return readOptionalInteger(object, key).value_or(0);
}

boost::optional<std::int64_t> readOptionalInteger(const Json::Value& object, const char* key)
{
    const Json::Value& member = memberOfType(object, key, &Json::Value::isInt64);
    if (member.isNull())
        return boost::none;
    return static_cast<std::int64_t>(member.asInt64());
}

double readNumber(const Json::Value& object, const char* key)
{
    return readOptionalNumber(object, key).value_or(0.0);
}

boost::optional<double> readOptionalNumber(const Json::Value& object, const char* key)
{
    const Json::Value& member = memberOfType(object, key, &Json::Value::isNumeric);
    if (member.isNull())
        return boost::none;
    return member.asDouble();
}

boost::optional<ECTSaleSystemActionIdentifier> readActionIdentifier(const Json::Value& object, const char* key)
{
    const boost::optional<std::string> digits = readOptionalText(object, key);
    if (!digits)
        return boost::none;
    try {
        return ECTSaleSystemActionIdentifier(ECTData(HexToBytes(*digits)));
    } catch (const ECTError&) {
        return boost::none; // not 4 bytes
    }
}

std::tm parseDate(const std::string& text)
{
    std::tm date{};
    strptime(text.c_str(), "%Y-%m-%d-%H-%M-%S", &date);
    date.tm_isdst = -1; // the terminal's local time, summer or not: mktime decides
    return date;
}

std::tm localTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace ect
