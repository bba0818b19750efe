#pragma once

#include "HostRecorder.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalReports.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>

namespace testsupport {

// The object in a text the library allocated; the text is freed.
inline QJsonObject takeObject(char* text)
{
    const QJsonObject object = QJsonDocument::fromJson(QByteArray(text ? text : "")).object();
    zuva_free(text);
    return object;
}

inline QJsonObject errorOf(const QJsonObject& document)
{
    return document.value("error").toObject();
}

// Code and cause of an error document.
inline std::pair<int, int> errorCodes(const QJsonObject& document)
{
    return {errorOf(document).value("code").toInt(), errorOf(document).value("causeCode").toInt()};
}

const std::pair<int, int> NetworkError{2, 18};

inline std::string reasonOf(const QJsonObject& document)
{
    for (const auto& entry : errorOf(document).value("extraInformation").toArray())
        if (entry.toObject().value("key").toString() == "reason")
            return entry.toObject().value("val").toString().toStdString();
    return std::string();
}

// Settings at their defaults, with the given connection advice time and serial heartbeat (0: none).
inline void useSettings(int adviceMilliseconds, int heartBeatMilliseconds = 0)
{
    const std::string settings = R"({"serviceSettings": {"cardRecognitionTimeout": 45, "cardInfoTrailingRequestTimeout": 30,)"
                                 R"( "currencyCode": "EUR", "displayResultTimeout": 2, "connectionAdviceTimeout": )"
                                 + std::to_string(adviceMilliseconds)
                                 + ", \"serialHeartBeatInterval\": " + std::to_string(heartBeatMilliseconds) + "}}";
    zuva_setSettings(settings.c_str());
}

inline std::string informationRequest()
{
    return "{\"transaction\": {\"action\": \"InformationService\", \"type\": \"InformationService\"}}";
}

// A listener's report callback that records each report as the kind, as
// the services registry passes them on to the host.
inline oxa::TerminalReports::Callback reportRecorder(HostRecorder& host, const std::string& kind)
{
    return [&host, kind](QJsonDocument document, std::weak_ptr<oxa::TerminalConnection>) {
        host.recorderFor(kind)(document);
    };
}

// A release thread kept busy from here until the test lets it go (at the
// latest when this goes), so that what is handed to it stays held meanwhile.
class HeldReleaseThread {
public:
    explicit HeldReleaseThread(std::shared_ptr<oxa::ReleaseThread> held = std::make_shared<oxa::ReleaseThread>())
        : thread(std::move(held))
    {
        const auto running = std::make_shared<std::promise<std::thread::id>>();
        std::future<std::thread::id> started = running->get_future();
        thread->post([running, released = m_released] {
            running->set_value(std::this_thread::get_id());
            waitUntil([&] { return bool(*released); });
        });
        id = started.get();
    }
    ~HeldReleaseThread() { letGo(); }
    HeldReleaseThread(const HeldReleaseThread&) = delete;
    HeldReleaseThread& operator=(const HeldReleaseThread&) = delete;
    void letGo() { *m_released = true; }

private:
    // Shared with the job, which may outlive this.
    const std::shared_ptr<std::atomic<bool>> m_released = std::make_shared<std::atomic<bool>>(false);

public:
    const std::shared_ptr<oxa::ReleaseThread> thread;
    std::thread::id id;
};

// A terminal that has connected to the host's service and been reported connected.
inline std::unique_ptr<SimTerminal> announcedTerminal(const HostRecorder& host, uint16_t port,
                                                      const std::string& identifier, size_t connectedBefore)
{
    auto terminal = std::make_unique<SimTerminal>();
    EXPECT_TRUE(terminal->connectTo(port));
    SimAdvice advice;
    advice.terminalIdentifier = identifier;
    terminal->sendAdvice(advice);
    EXPECT_TRUE(host.waitFor("connected", connectedBefore + 1));
    return terminal;
}

// A host with a running TCP/IP service on a free loopback port, with settings
// at their defaults except a short connection advice time.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        useSettings(1500);
        port = SimTerminal::freeLoopbackPort();
        ASSERT_NE(port, 0);
        ASSERT_NE(host.start(port), nullptr);
    }

    void TearDown() override { host.stop(); }

    // A terminal that has connected and been reported connected.
    std::unique_ptr<SimTerminal> connectTerminal(const std::string& identifier, size_t connectedBefore = 0)
    {
        return announcedTerminal(host, port, identifier, connectedBefore);
    }

    HostRecorder host;
    uint16_t port = 0;
};

} // namespace testsupport
