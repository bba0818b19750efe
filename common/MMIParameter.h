#pragma once

#include "common/EncryptedData.h"
#include "common/FreeText.h"

#include <boost/optional.hpp>

#include <string>

namespace ect {

// The parameters of one display or PIN operation. Carries data only; its
// users check the values.
class MMIParameter {
public:
    MMIParameter();

    // Seconds the terminal waits (for a key, or showing the text), 0 to 9999;
    // the request of another value is refused.
    int displayTimeout;
    boost::optional<int> firstTextIdentifier;
    boost::optional<std::string> firstTextLanguage;
    boost::optional<int> secondTextIdentifier;
    boost::optional<std::string> secondTextLanguage;
    boost::optional<EncryptedData> encryptedPin;
    boost::optional<FreeText> freeText;
};

} // namespace ect
