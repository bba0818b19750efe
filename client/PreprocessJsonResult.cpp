#include "client/PreprocessJsonResult.h"

#include "client/TransactionHelpers.h"

#include <stdexcept>

namespace ect {

namespace {

ECTError::ExtraInformation extraInformationOf(const Json::Value& error)
{
    ECTError::ExtraInformation extras;
    const Json::Value& entries = error["extraInformation"];
    if (!entries.isArray())
        return extras;
    for (const Json::Value& entry : entries)
        extras.emplace(entry["key"].asString(), entry["val"].asString());
    return extras;
}

ECTError errorWithExtras(ECTError error, const ECTError::ExtraInformation& extras)
{
    for (const auto& entry : extras)
        error.addExtraInfo(entry.first, entry.second);
    return error;
}

ECTError codedError(const Json::Value& error)
{
    const auto code = static_cast<ECTErrorCode>(error.get("code", 0).asInt());
    const Json::Value& cause = error["causeCode"];
    if (cause.isNull())
        return ECTError(code);
    // Unnamed causes pass as they are: the library's own and any it may add.
    return ECTError(code, static_cast<ECTErrorCauseCode>(cause.asInt()));
}

} // namespace

ECTError MakeErrorFromJson(const Json::Value& document)
{
    const Json::Value& error = document["error"];
    const ECTError::ExtraInformation extras = extraInformationOf(error);
    if (error["incidentCode"].isObject())
        return errorWithExtras(ECTError(ECTIncidentCode(error["incidentCode"]["code"].asString())), extras);
    if (error["rejectionCode"].isObject())
        return errorWithExtras(ECTError(ECTRejectionCode(error["rejectionCode"]["code"].asString())), extras);
    return errorWithExtras(codedError(error), extras);
}

bool PreprocessJsonResult(const std::string& /*name*/, const std::string& text, Json::Value& document,
                          boost::optional<ECTError>& error)
{
    try {
        if (!parseJson(text, document))
            throw std::invalid_argument("invalid json result");
        const Json::Value& root = document;
        if (root["error"].isObject()) {
            error = MakeErrorFromJson(document);
            return false;
        }
        if (root["result"].isObject())
            return true;
        throw std::invalid_argument("invalid result");
    } catch (...) {
        error = ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidResponse);
        return false;
    }
}

} // namespace ect
