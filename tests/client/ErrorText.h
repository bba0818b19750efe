#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <string>

namespace clienttest {

// "ok" or "code/cause[ incident][ rej=code][ reason=text]".
inline std::string errorText(const boost::optional<ect::ECTError>& error)
{
    if (!error)
        return "ok";
    std::string text = std::to_string(static_cast<int>(error->code())) + "/" +
                       std::to_string(error->causeCode() ? static_cast<int>(*error->causeCode()) : 0);
    if (error->incidentCode())
        text += " " + error->incidentCode()->code();
    if (error->rejectionCode())
        text += " rej=" + error->rejectionCode()->code();
    const auto extra = error->extraInformationData();
    return extra.count("reason") ? text + " reason=" + extra.at("reason") : text;
}

} // namespace clienttest
