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
    // The certification log holds card data in clear (card numbers, track data,
    // names, PIN blocks), in its file and in its copy on standard output, which
    // blocks the library's threads while nothing reads standard output. Meant for
    // certification; its folder should be one only the register's user can write
    // to. See HostGuide.md, "Warnings and the log", for the file and the names it refuses.
    bool certificationModeEnabled = false;
    std::string certificationFilePath;
    std::string certificationFileName;
    std::string currencyCode;
    boost::optional<std::int64_t> deliveryTimeout;
    std::int64_t displayResultTimeout = 2;
    boost::optional<std::int64_t> serialHeartBeatInterval;
};

} // namespace ect
