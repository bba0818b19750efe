#pragma once

#include "engine/service/oxazuva.h"
#include "support/SimMessage.h"
#include "support/SimTerminal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <memory>
#include <string>

namespace testsupport {

// Settings at their defaults, with the given serial heartbeat (0: none).
inline void useSerialHeartBeat(int milliseconds)
{
    const std::string settings = "{\"serviceSettings\": {\"cardRecognitionTimeout\": 45, "
                                 "\"cardInfoTrailingRequestTimeout\": 30, \"connectionAdviceTimeout\": 1500, "
                                 "\"certificationModeEnabled\": false, \"currencyCode\": \"EUR\", "
                                 "\"displayResultTimeout\": 2, \"serialHeartBeatInterval\": "
                                 + std::to_string(milliseconds) + "}}";
    zuva_setSettings(settings.c_str());
}

inline std::string informationServiceRequest()
{
    return "{\"transaction\": {\"action\": \"InformationService\", \"type\": \"InformationService\"}}";
}

// Identifies as the terminal for the first `answered` information requests, then stays silent.
inline SimTerminal::Responder identifyingOnly(const std::string& terminalIdentifier, int answered)
{
    auto remaining = std::make_shared<std::atomic<int>>(answered);
    return [terminalIdentifier, remaining](const SimMessage& request) {
        if (remaining->fetch_sub(1) <= 0)
            return SimTerminal::silence();
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, terminalIdentifier, "SIM-SERIAL", "10"));
    };
}

inline int errorCode(const QJsonObject& document)
{
    return document.value("error").toObject().value("code").toInt();
}

inline int errorCause(const QJsonObject& document)
{
    return document.value("error").toObject().value("causeCode").toInt();
}

} // namespace testsupport
