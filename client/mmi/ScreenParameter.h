#pragma once

#include "common/FreeText.h"
#include "common/MMIParameter.h"

#include <boost/optional.hpp>

#include <string>

namespace ect {

// The screens the flows build: a first text, and the second text 14 in the
// same language.
class ScreenParameter {
public:
    static constexpr int SecondTextIdentifier = 14;

    static MMIParameter make(boost::optional<int> firstTextIdentifier, const std::string& language,
                             int displayTimeout, boost::optional<FreeText> freeText = boost::none);
    // The same screen as a PIN entry checked against the encrypted data.
    static MMIParameter makePinEntry(boost::optional<int> firstTextIdentifier, const std::string& language,
                                     int displayTimeout, EncryptedData encryptedData,
                                     boost::optional<FreeText> freeText);
};

} // namespace ect
