#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalListener.h"
#include "engine/service/ZUVASerialConnectionFactory.h"
#include "foundation/SerialServerListener.h"
#include "link/LinkTimings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <functional>
#include <memory>

namespace oxa {

// Turns the opened port of one serial server into a terminal connection,
// identifies the terminal with an "InformationService" request whenever the
// serial link comes up, and reports identified terminals, their
// disconnection and their events.
//
// The host is told of a disconnection once, and only for a terminal it was
// told is connected: a lost link and the later closing of the port make one
// report, which comes after the results of the transactions in flight (a lost
// link fails them with code 2, cause 18). A failed identification is asked
// again while the link stays up.
class ZUVASerialServerListener : public vorsam::SerialServerListener, public TerminalListener {
public:
    static constexpr std::chrono::milliseconds kIdentificationRetryDelay{2000};

    // timings and retryDelay: tests shorten them.
    ZUVASerialServerListener(std::shared_ptr<OXAEnvironment> environment, Callback onTerminalConnect,
                             Callback onTerminalDisconnect, Callback onNotification,
                             kiss::LinkTimings timings = kiss::LinkTimings(),
                             std::chrono::milliseconds retryDelay = kIdentificationRetryDelay,
                             std::shared_ptr<ReleaseThread> releaseThread = std::make_shared<ReleaseThread>());
    ~ZUVASerialServerListener() override;

    void onOpen(std::weak_ptr<vorsam::SerialPort> port) override;
    void onClose(std::weak_ptr<vorsam::SerialPort> port) override;
    void onDataPending(std::weak_ptr<vorsam::SerialPort> port) override;

private:
    using PortPointer = std::shared_ptr<vorsam::SerialPort>;

    // {"port": ..., "baud": ...}.
    QJsonObject describe(const TerminalRecords::Transport& transport) const override;
    // A callback that runs work with its arguments and the port while the
    // port exists, on a visit of the records.
    template <typename Work>
    auto visiting(const PortPointer& port, Work work) const
    {
        return [weakRecords = weakRecords(), weakPort = std::weak_ptr<vorsam::SerialPort>(port),
                work](auto&&... arguments) {
            TerminalRecords::visit(weakRecords, weakPort, [&](const PortPointer& held) { work(arguments..., held); });
        };
    }
    // The serial link came up or went down (on the server's thread).
    void onConnected(const PortPointer& port);
    void onDisconnected(const PortPointer& port);
    void identify(const PortPointer& port, const std::shared_ptr<TerminalConnection>& connection, unsigned generation);
    void handleIdentification(const QJsonDocument& document, const PortPointer& port, unsigned generation);
    void scheduleIdentificationRetry(const PortPointer& port, unsigned generation);
    void retryIdentification(const PortPointer& port, unsigned generation);
    void handleNotification(const QJsonDocument& document, const PortPointer& port);

    ZUVASerialConnectionFactory m_factory;
    std::chrono::milliseconds m_retryDelay;
};

} // namespace oxa
