#pragma once

#include "foundation/LibraryMutex.h"
#include "link/LinkTimings.h"
#include "link/SharedData.h"

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"
#include "foundation/Runnable.h"
#include "foundation/Thread.h"

#include <QByteArray>
#include <QTimer>

#include <boost/optional.hpp>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <deque>
#include <mutex>
#include <vector>

namespace kiss {

class KissOuputInterface;
class LinkCall;
class State;

// The engine of one serial link: runs the link states on "KissStateManagerThread"
// and is itself the byte stream of payloads towards the terminal service engine.
// Reads and writes from other threads are carried into the link thread and
// waited for; once the link stops they fail instead of waiting.
class StateManager : public vorsam::Runnable,
                     public vorsam::InputStream,
                     public vorsam::OutputStream,
                     public std::enable_shared_from_this<StateManager> {
    Q_OBJECT
public:
    StateManager(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
                 boost::optional<std::chrono::milliseconds> heartbeat, LinkTimings timings = LinkTimings());
    ~StateManager() override;

    void startTask() override;
    void onFinished() override;

    // Sends one payload as one data frame; queued while the link is busy,
    // false while it is down or stopped.
    bool write(const unsigned char* data, int length) override;
    // Appends every payload received and not yet delivered, leaving out
    // frames that may repeat the one before; returns their length.
    int read(QByteArray& out) override;
    // The same, one element a frame, those that may be repeats included; true.
    bool readFrames(std::vector<vorsam::ReceivedFrame>& frames) override;
    // The time a partly received frame may wait for its next bytes.
    std::chrono::milliseconds frameGap() const override;

    void start();
    void stop();
    bool isStarted() const;
    bool isConnected() const;
    // See Kiss::enableHeartBeat.
    void enableHeartBeat();
    void disableHeartBeat();
    void setOutputInterface(std::shared_ptr<KissOuputInterface> outputInterface);
    // Set before start; see Kiss::setSendCheck.
    void setSendCheck(std::function<bool(const QByteArray&)> stillWanted);

    // For the states, in the link thread.
    void goToIdleState();
    void goToConnectState();
    void goToWaitForAckAfterSendState(QByteArray data, bool report, int maxRetries);
    void goToWaitingToReceiveCompleteMessageState();
    void startTimer(std::chrono::milliseconds interval);
    void stopTimer();
    // The heartbeat's interval; none without a heartbeat or while it is disabled.
    boost::optional<std::chrono::milliseconds> getHeartBeatIntervalMs() const;
    void reportAckSent();
    void reportNAckSent();
    void reportDataMessageSent();
    void reportAckReceived(bool report);
    void reportAckTimeout(const QByteArray& payload, bool report);
    // A frame taken for a repeat that may also be the answer to our message.
    void reportRepeatMayBeAnswer(const QByteArray& payload);
    // A payload accepted for sending that the link will never send.
    void reportSendFailure(const QByteArray& payload);
    bool isStillWanted(const QByteArray& payload) const;
    void setConnected(bool connected);

signals:
    void connectedSignal();
    void disconnectedSignal();
    void messageSendFailureSignal(QByteArray payload);
    void messageSendSuccessSignal();
    void messageReceiveFailureSignal();
    void messageReceiveSuccessSignal();
    void messageRepeatMayBeAnswerSignal(QByteArray payload);

public slots:
    void onTimerTimeout();
    bool writeSlot(QByteArray data);
    std::vector<vorsam::ReceivedFrame> readSlot();

private slots:
    void runPendingCalls();

private:
    void goToState(std::unique_ptr<State> state);
    void checkStates();
    void pullReceivedBytes();
    void setHeartBeatEnabled(bool enabled);
    void applyHeartBeatSetting(bool enabled);
    bool callInLinkThread(std::function<void()> work);
    bool postToLinkThread(std::function<void()> work);
    bool enqueueCall(const std::shared_ptr<LinkCall>& call);
    void abandonPendingCalls();
    void connectOutputInterface(bool connect);

    std::unique_ptr<State> currentState_;
    std::unique_ptr<State> nextState_;
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<vorsam::Thread> thread_;
    std::shared_ptr<SharedData> shared_;
    const std::chrono::milliseconds frameGap_;
    std::atomic<bool> connected_{false};
    int nakCounter_ = 0;
    boost::optional<std::chrono::milliseconds> heartBeatInterval_;
    std::atomic<bool> heartBeatEnabled_{true};
    std::function<bool(const QByteArray&)> sendCheck_;

    std::atomic<bool> started_{false};
    std::atomic<QThread*> linkThread_{nullptr};
    vorsam::LibraryMutex callsMutex_;
    bool acceptingCalls_ = false;
    std::deque<std::shared_ptr<LinkCall>> pendingCalls_;
};

} // namespace kiss
