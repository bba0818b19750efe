#pragma once

#include <boost/optional.hpp>

#include <cstdint>
#include <string>

namespace ect {

// The service settings of the library, in the units of its settings document
// (seconds, except connectionAdviceTimeout in milliseconds). A
// default-constructed object has an empty currencyCode, unlike the library
// (whose default is "EUR"): ZUVAService::updateSettings with it makes every
// sale fail with code 1 cause 110 until a currency is set. Start from
// ZUVAService::settings() instead.
struct Settings {
    std::int64_t cardRecognitionTimeout = 45;
    std::int64_t cardInfoTrailingRequestTimeout = 30;
    std::int64_t connectionAdviceTimeout = 1500;
    bool certificationModeEnabled = false;
    std::string certificationFilePath;
    std::string certificationFileName;
    std::string currencyCode;
    boost::optional<std::int64_t> deliveryTimeout;
    std::int64_t displayResultTimeout = 2;
    boost::optional<std::int64_t> serialHeartBeatInterval;
};

} // namespace ect
