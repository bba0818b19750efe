#include "link/StateManager.h"

#include "link/KissOuputInterface.h"
#include "link/LinkCall.h"
#include "link/StateConnect.h"
#include "link/StateIdle.h"
#include "link/StateWaitForAckAfterSend.h"
#include "link/StateWaitingToReceiveCompleteMessage.h"

#include "foundation/RunnableProxy.h"

#include <QDebug>
#include <QThread>

#include <algorithm>
#include <limits>

namespace kiss {

namespace {

const int NakCountForReceiveFailure = 4;

} // namespace

StateManager::StateManager(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
                           boost::optional<std::chrono::milliseconds> heartbeat, LinkTimings timings)
    : vorsam::Runnable()
    , shared_(std::make_shared<SharedData>())
    , frameGap_(timings.frameGap())
    , heartBeatInterval_(heartbeat)
{
    shared_->input = std::move(input);
    shared_->output = std::move(output);
    shared_->timings = timings;
}

StateManager::~StateManager()
{
    thread_.reset();
    // The link thread ended by taking this mutex last (abandonPendingCalls);
    // taking it here orders its clean-up before the members go.
    std::lock_guard<vorsam::LibraryMutex> lock(callsMutex_);
}

void StateManager::startTask()
{
    shared_->manager = this;
    linkThread_ = QThread::currentThread();
    currentState_ = std::make_unique<StateConnect>(shared_);
    timer_ = std::make_unique<QTimer>();
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_.get(), &QTimer::timeout, this, &StateManager::onTimerTimeout);
    setOutputInterface(shared_->outputInterface);
    {
        std::lock_guard<vorsam::LibraryMutex> lock(callsMutex_);
        acceptingCalls_ = true;
    }
    currentState_->start();
    checkStates();
}

void StateManager::onFinished()
{
    stopTimer();
    setConnected(false);
    setOutputInterface(nullptr);
    nextState_.reset();
    currentState_.reset();
    timer_.reset();
    linkThread_ = nullptr;
    abandonPendingCalls();
}

void StateManager::abandonPendingCalls()
{
    std::deque<std::shared_ptr<LinkCall>> abandoned;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(callsMutex_);
        acceptingCalls_ = false;
        abandoned.swap(pendingCalls_);
    }
    for (const auto& call : abandoned)
        call->abandon();
}

bool StateManager::write(const unsigned char* data, int length)
{
    if (!data || length < 0)
        return false;
    const QByteArray payload(reinterpret_cast<const char*>(data), length);
    bool accepted = false;
    return callInLinkThread([&] { accepted = writeSlot(payload); }) && accepted;
}

int StateManager::read(QByteArray& out)
{
    std::vector<vorsam::ReceivedFrame> frames;
    readFrames(frames);
    const int before = out.size();
    for (const vorsam::ReceivedFrame& frame : frames) {
        if (!frame.mayBeRepeat)
            out.append(frame.payload);
    }
    return out.size() - before;
}

bool StateManager::readFrames(std::vector<vorsam::ReceivedFrame>& frames)
{
    std::vector<vorsam::ReceivedFrame> received;
    if (callInLinkThread([&] { received = readSlot(); }))
        frames.insert(frames.end(), received.begin(), received.end());
    return true;
}

std::chrono::milliseconds StateManager::frameGap() const
{
    return frameGap_;
}

bool StateManager::callInLinkThread(std::function<void()> work)
{
    // The link thread cannot wait for itself; such a call is refused.
    if (QThread::currentThread() == linkThread_.load())
        return false;
    const auto call = std::make_shared<LinkCall>(std::move(work));
    return enqueueCall(call) && call->wait();
}

bool StateManager::postToLinkThread(std::function<void()> work)
{
    return enqueueCall(std::make_shared<LinkCall>(std::move(work)));
}

bool StateManager::enqueueCall(const std::shared_ptr<LinkCall>& call)
{
    std::lock_guard<vorsam::LibraryMutex> lock(callsMutex_);
    if (!acceptingCalls_)
        return false;
    pendingCalls_.push_back(call);
    // The calls themselves travel through the mutex-guarded queue, in order.
    QMetaObject::invokeMethod(this, "runPendingCalls", Qt::QueuedConnection);
    return true;
}

void StateManager::runPendingCalls()
{
    for (;;) {
        std::shared_ptr<LinkCall> call;
        {
            std::lock_guard<vorsam::LibraryMutex> lock(callsMutex_);
            if (pendingCalls_.empty())
                return;
            call = pendingCalls_.front();
            pendingCalls_.pop_front();
        }
        call->run();
    }
}

bool StateManager::writeSlot(QByteArray data)
{
    if (!currentState_)
        return false;
    const bool result = currentState_->write(data);
    checkStates();
    return result;
}

std::vector<vorsam::ReceivedFrame> StateManager::readSlot()
{
    std::vector<vorsam::ReceivedFrame> payloads;
    if (!currentState_)
        return payloads;
    pullReceivedBytes();
    // Every complete element is handled now: no further read may come for
    // bytes that have already arrived.
    while (currentState_->read(payloads))
        checkStates();
    checkStates();
    return payloads;
}

void StateManager::pullReceivedBytes()
{
    if (shared_->input->read(shared_->receiveBuffer) > 0)
        shared_->lastReceiveTime = std::chrono::steady_clock::now();
}

void StateManager::onTimerTimeout()
{
    if (!currentState_)
        return;
    currentState_->onTimer();
    checkStates();
}

void StateManager::checkStates()
{
    while (nextState_) {
        stopTimer();
        currentState_ = std::move(nextState_);
        currentState_->start();
    }
}

void StateManager::start()
{
    if (thread_)
        return;
    // The send check runs here, and what it holds may reach the host's code.
    thread_ = vorsam::makeThread(QStringLiteral("KissStateManagerThread"), vorsam::Thread::RunOnce,
                                 std::make_unique<vorsam::RunnableProxy>(this), vorsam::Thread::HostCodeStackSize);
    started_ = true;
}

void StateManager::stop()
{
    started_ = false;
    thread_.reset();
}

bool StateManager::isStarted() const
{
    return started_;
}

bool StateManager::isConnected() const
{
    return connected_;
}

void StateManager::enableHeartBeat()
{
    setHeartBeatEnabled(true);
}

void StateManager::disableHeartBeat()
{
    setHeartBeatEnabled(false);
}

void StateManager::setHeartBeatEnabled(bool enabled)
{
    // The flag changes in the link thread, between two state operations, so
    // no state sees it change halfway; a link that does not run takes it at once.
    if (!postToLinkThread([this, enabled] { applyHeartBeatSetting(enabled); }))
        heartBeatEnabled_ = enabled;
}

void StateManager::applyHeartBeatSetting(bool enabled)
{
    heartBeatEnabled_ = enabled;
    // Only Idle runs the heartbeat; the other states read the flag as they end.
    if (!currentState_ || currentState_->getName() != QLatin1String("Idle"))
        return;
    const auto interval = getHeartBeatIntervalMs();
    if (!interval)
        stopTimer();
    else if (!timer_->isActive())
        startTimer(*interval);
}

void StateManager::setOutputInterface(std::shared_ptr<KissOuputInterface> outputInterface)
{
    if (shared_->outputInterface)
        connectOutputInterface(false);
    shared_->outputInterface = std::move(outputInterface);
    if (shared_->outputInterface)
        connectOutputInterface(true);
}

void StateManager::connectOutputInterface(bool connectIt)
{
    KissOuputInterface* target = shared_->outputInterface.get();
    const auto link = [&](auto signal, auto slot) {
        if (connectIt)
            connect(this, signal, target, slot);
        else
            disconnect(this, signal, target, slot);
    };
    link(&StateManager::connectedSignal, &KissOuputInterface::onConnected);
    link(&StateManager::disconnectedSignal, &KissOuputInterface::onDisconnected);
    link(&StateManager::messageSendSuccessSignal, &KissOuputInterface::onMessageSendSuccess);
    link(&StateManager::messageSendFailureSignal, &KissOuputInterface::onMessageSendFailure);
    link(&StateManager::messageReceiveSuccessSignal, &KissOuputInterface::onMessageReceiveSuccess);
    link(&StateManager::messageReceiveFailureSignal, &KissOuputInterface::onMessageReceiveFailure);
    link(&StateManager::messageRepeatMayBeAnswerSignal, &KissOuputInterface::onMessageRepeatMayBeAnswer);
}

void StateManager::goToState(std::unique_ptr<State> state)
{
    if (nextState_)
        qDebug() << "Next state already set";
    stopTimer();
    nextState_ = std::move(state);
}

void StateManager::goToIdleState()
{
    goToState(std::make_unique<StateIdle>(shared_));
}

void StateManager::goToConnectState()
{
    goToState(std::make_unique<StateConnect>(shared_));
}

void StateManager::goToWaitForAckAfterSendState(QByteArray data, bool report, int maxRetries)
{
    goToState(std::make_unique<StateWaitForAckAfterSend>(shared_, std::move(data), report, maxRetries));
}

void StateManager::goToWaitingToReceiveCompleteMessageState()
{
    goToState(std::make_unique<StateWaitingToReceiveCompleteMessage>(shared_));
}

void StateManager::startTimer(std::chrono::milliseconds interval)
{
    if (timer_)
        timer_->start(static_cast<int>(std::min<qint64>(interval.count(), std::numeric_limits<int>::max())));
}

void StateManager::stopTimer()
{
    if (timer_)
        timer_->stop();
}

boost::optional<std::chrono::milliseconds> StateManager::getHeartBeatIntervalMs() const
{
    if (!heartBeatEnabled_)
        return boost::none;
    return heartBeatInterval_;
}

void StateManager::reportAckSent()
{
    nakCounter_ = 0;
    emit messageReceiveSuccessSignal();
}

void StateManager::reportNAckSent()
{
    if (++nakCounter_ < NakCountForReceiveFailure)
        return;
    nakCounter_ = 0;
    emit messageReceiveFailureSignal();
}

void StateManager::reportDataMessageSent()
{
    nakCounter_ = 0;
}

void StateManager::reportAckReceived(bool report)
{
    if (report)
        emit messageSendSuccessSignal();
    setConnected(true);
}

void StateManager::reportAckTimeout(const QByteArray& payload, bool report)
{
    if (report)
        reportSendFailure(payload);
    if (getHeartBeatIntervalMs())
        setConnected(false);
}

void StateManager::reportRepeatMayBeAnswer(const QByteArray& payload)
{
    emit messageRepeatMayBeAnswerSignal(payload);
}

void StateManager::reportSendFailure(const QByteArray& payload)
{
    emit messageSendFailureSignal(payload);
}

bool StateManager::isStillWanted(const QByteArray& payload) const
{
    return !sendCheck_ || sendCheck_(payload);
}

void StateManager::setSendCheck(std::function<bool(const QByteArray&)> stillWanted)
{
    sendCheck_ = std::move(stillWanted);
}

void StateManager::setConnected(bool connected)
{
    if (connected_.exchange(connected) == connected)
        return;
    if (connected)
        emit connectedSignal();
    else
        emit disconnectedSignal();
}

} // namespace kiss
