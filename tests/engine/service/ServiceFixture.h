#pragma once

#include "HostRecorder.h"
#include "support/SimTerminal.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <string>

namespace testsupport {

inline std::string takeText(char* text)
{
    const std::string copy = text ? text : "";
    zuva_free(text);
    return copy;
}

inline QJsonObject takeObject(char* text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(takeText(text))).object();
}

inline QJsonObject errorOf(const QJsonObject& document)
{
    return document.value("error").toObject();
}

inline std::string reasonOf(const QJsonObject& document)
{
    for (const auto& entry : errorOf(document).value("extraInformation").toArray())
        if (entry.toObject().value("key").toString() == "reason")
            return entry.toObject().value("val").toString().toStdString();
    return std::string();
}

// A host with a running TCP/IP service on a free loopback port, with settings
// at their defaults except a short connection advice time.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAdviceTimeout(1500);
        port = SimTerminal::freeLoopbackPort();
        ASSERT_NE(port, 0);
        ASSERT_NE(host.start(port), nullptr);
    }

    void TearDown() override { host.stop(); }

    static void setAdviceTimeout(int milliseconds)
    {
        const std::string settings = "{\"serviceSettings\": {\"cardRecognitionTimeout\": 45, "
                                     "\"cardInfoTrailingRequestTimeout\": 30, \"connectionAdviceTimeout\": "
                                     + std::to_string(milliseconds)
                                     + ", \"certificationModeEnabled\": false, \"currencyCode\": \"EUR\", "
                                       "\"displayResultTimeout\": 2}}";
        zuva_setSettings(settings.c_str());
    }

    // A terminal that has connected and been reported connected.
    std::unique_ptr<SimTerminal> connectTerminal(const std::string& identifier, size_t connectedBefore = 0)
    {
        auto terminal = std::make_unique<SimTerminal>();
        EXPECT_TRUE(terminal->connectTo(port));
        SimAdvice advice;
        advice.terminalIdentifier = identifier;
        terminal->sendAdvice(advice);
        EXPECT_TRUE(host.waitFor("connected", connectedBefore + 1));
        return terminal;
    }

    static std::string informationRequest()
    {
        return "{\"transaction\": {\"action\": \"InformationService\", \"type\": \"InformationService\"}}";
    }

    HostRecorder host;
    uint16_t port = 0;
};

} // namespace testsupport
