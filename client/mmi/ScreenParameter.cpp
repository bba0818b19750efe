#include "client/mmi/ScreenParameter.h"

namespace ect {

MMIParameter ScreenParameter::make(boost::optional<int> firstTextIdentifier, const std::string& language,
                                   int displayTimeout, boost::optional<FreeText> freeText)
{
    MMIParameter parameter;
    parameter.displayTimeout = displayTimeout;
    parameter.firstTextIdentifier = firstTextIdentifier;
    parameter.firstTextLanguage = language;
    parameter.secondTextIdentifier = SecondTextIdentifier;
    parameter.secondTextLanguage = language;
    parameter.freeText = std::move(freeText);
    return parameter;
}

MMIParameter ScreenParameter::makePinEntry(boost::optional<int> firstTextIdentifier, const std::string& language,
                                           int displayTimeout, EncryptedData encryptedData,
                                           boost::optional<FreeText> freeText)
{
    MMIParameter parameter = make(firstTextIdentifier, language, displayTimeout, std::move(freeText));
    parameter.encryptedPin = std::move(encryptedData);
    return parameter;
}

} // namespace ect
