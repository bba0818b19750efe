#include "common/ResultsToJson.h"

#include <json/json.h>

namespace oxa {

namespace {

Json::Value errorObject(ect::ECTError const& error)
{
    Json::Value object(Json::objectValue);
    object["code"] = static_cast<Json::Int>(error.code());
    if (auto const cause = error.causeCode())
        object["causeCode"] = static_cast<Json::Int>(*cause);
    if (auto const incident = error.incidentCode()) {
        Json::Value incidentObject(Json::objectValue);
        incidentObject["code"] = incident->code();
        incidentObject["error"] = incident->isErrorCode();
        object["incidentCode"] = incidentObject;
    }
    if (auto const rejection = error.rejectionCode()) {
        Json::Value rejectionObject(Json::objectValue);
        rejectionObject["code"] = rejection->code();
        object["rejectionCode"] = rejectionObject;
    }
    Json::Value extraInformation(Json::arrayValue);
    for (auto const& entry : error.extraInformationData()) {
        Json::Value element(Json::objectValue);
        element["key"] = entry.first;
        element["val"] = entry.second;
        extraInformation.append(element);
    }
    if (!extraInformation.empty())
        object["extraInformation"] = extraInformation;
    return object;
}

} // namespace

std::string jsonFromError(boost::optional<ect::ECTError> const& error)
{
    Json::Value root;
    root["error"] = error ? errorObject(*error) : Json::Value(Json::objectValue);
    return Json::StyledWriter().write(root);
}

} // namespace oxa
