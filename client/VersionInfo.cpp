#include "client/VersionInfo.h"

#include "client/TakeText.h"
#include "client/TransactionHelpers.h"
#include "engine/service/oxazuva.h"

namespace ect {

std::string getLibraryVersion()
{
    const std::string unknown = "0.0.0";
    const boost::optional<std::string> text = takeText(zuva_get_version_information());
    Json::Value document;
    if (!text || !parseJson(*text, document) || !document.isObject())
        return unknown;
    return readOptionalText(document["versionInformation"], "library").value_or(unknown);
}

} // namespace ect
