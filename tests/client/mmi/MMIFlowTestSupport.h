#pragma once

#include "client/ErrorText.h"
#include "client/mmi/VerifyPinResult.h"
#include "common/EncryptedData.h"

#include <string>
#include <vector>

namespace mmitest {

const ect::EncryptedData Pin("0123456789ABCDEF", 1, "FFFF9876543210E00001", "00112233",
                             ect::ECTEncryptionAlgorithm::None);

// A display operation as the tests write it: "Cm26/14 t30 pin".
inline std::string screen(const std::string& first, const std::string& second, int timeout, bool pin)
{
    return "Cm" + first + (second.empty() ? "" : "/" + second) + " t" + std::to_string(timeout) + (pin ? " pin" : "");
}

inline std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

using clienttest::errorText;

// The host's view of a PIN result: its error text and " left=N".
inline std::string summary(const ect::VerifyPinResult& result)
{
    return errorText(result.error()) + " left=" + std::to_string(result.attemptsLeft());
}

} // namespace mmitest
