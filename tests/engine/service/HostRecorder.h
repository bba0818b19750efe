#pragma once

#include "engine/service/oxazuva.h"
#include "support/Wait.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Plays the host: records every service callback (kind and JSON text) in the
// order the library made them, including the results of transactions.
class HostRecorder {
public:
    struct Event {
        std::string kind; // started, stopped, connected, disconnected, error, notification, result, free
        std::string json;
        std::thread::id thread;
    };

    ~HostRecorder() { stop(); }

    // zuva_createTcpIpService with every callback recording into this host.
    void* start(int port);
    // zuva_start_serial_service on the named port, likewise.
    void* startSerial(const std::string& port);
    void stop();
    void* handle() const { return m_handle; }

    // zuva_sendTransaction whose result and release are recorded here.
    int send(const std::string& terminalId, const std::string& json);

    std::vector<QJsonObject> documents(const std::string& kind) const;
    // The threads the callbacks of the kind came on.
    std::vector<std::thread::id> threads(const std::string& kind) const;
    // The first and the last document of the kind; empty when there is none.
    QJsonObject first(const std::string& kind) const;
    QJsonObject last(const std::string& kind) const;
    size_t count(const std::string& kind) const { return documents(kind).size(); }
    bool waitFor(const std::string& kind, size_t wanted,
                 std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const
    {
        return waitUntil([&] { return count(kind) >= wanted; }, deadline);
    }
    // Position of the n-th event of the kind in the record, -1 when absent.
    int position(const std::string& kind, size_t nth = 0) const;

    static zuva_callback callbackFor(const std::string& kind);
    void record(const std::string& kind, const char* json);
    // Records the documents handed to a callback of the library's inner layers.
    std::function<void(QJsonDocument)> recorderFor(const std::string& kind);

private:
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
    void* m_handle = nullptr;
};

} // namespace testsupport
