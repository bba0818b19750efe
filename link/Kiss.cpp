#include "link/Kiss.h"

#include "link/KissOuputInterface.h"
#include "link/StateManager.h"

namespace kiss {

// Forwards the link's notifications to the callbacks set on the Kiss.
class Kiss::KissOutput : public KissOuputInterface {
public:
    std::function<void()> connected;
    std::function<void()> disconnected;
    std::function<void(QByteArray)> sendFailed;
    std::function<void()> sendSuccess;
    std::function<void()> receiveFailed;
    std::function<void()> receiveSuccess;
    std::function<void(QByteArray)> repeatMayBeAnswer;

    void onConnected() override { call(connected); }
    void onDisconnected() override { call(disconnected); }
    void onMessageSendFailure(QByteArray payload) override { call(sendFailed, payload); }
    void onMessageRepeatMayBeAnswer(QByteArray payload) override { call(repeatMayBeAnswer, payload); }
    void onMessageSendSuccess() override { call(sendSuccess); }
    void onMessageReceiveFailure() override { call(receiveFailed); }
    void onMessageReceiveSuccess() override { call(receiveSuccess); }

private:
    template <typename... Arguments>
    static void call(const std::function<void(Arguments...)>& callback, Arguments... arguments)
    {
        if (callback)
            callback(arguments...);
    }
};

Kiss::Kiss(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
           boost::optional<std::chrono::milliseconds> heartbeat)
    : Kiss(std::move(input), std::move(output), heartbeat, LinkTimings())
{
}

Kiss::Kiss(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
           boost::optional<std::chrono::milliseconds> heartbeat, LinkTimings timings)
    : manager_(std::make_shared<StateManager>(std::move(input), std::move(output), heartbeat, timings))
    , output_(std::make_shared<KissOutput>())
{
    manager_->setOutputInterface(output_);
}

Kiss::~Kiss()
{
    stop();
    output_.reset();
    manager_.reset();
}

std::shared_ptr<vorsam::InputStream> Kiss::getInputStream() const
{
    return manager_;
}

std::shared_ptr<vorsam::OutputStream> Kiss::getOutputStream() const
{
    return manager_;
}

void Kiss::start()
{
    manager_->start();
}

void Kiss::stop()
{
    manager_->stop();
}

bool Kiss::isStarted() const
{
    return manager_->isStarted();
}

bool Kiss::isConnected() const
{
    return manager_->isConnected();
}

void Kiss::enableHeartBeat()
{
    manager_->enableHeartBeat();
}

void Kiss::disableHeartBeat()
{
    manager_->disableHeartBeat();
}

void Kiss::setOnConnectedCallback(std::function<void()> callback)
{
    output_->connected = std::move(callback);
}

void Kiss::setOnDisconnectedCallback(std::function<void()> callback)
{
    output_->disconnected = std::move(callback);
}

void Kiss::setOnSendSuccessCallback(std::function<void()> callback)
{
    output_->sendSuccess = std::move(callback);
}

void Kiss::setOnSendFailedCallback(std::function<void(QByteArray)> callback)
{
    output_->sendFailed = std::move(callback);
}

void Kiss::setOnRepeatMayBeAnswerCallback(std::function<void(QByteArray)> callback)
{
    output_->repeatMayBeAnswer = std::move(callback);
}

void Kiss::setSendCheck(std::function<bool(const QByteArray&)> stillWanted)
{
    manager_->setSendCheck(std::move(stillWanted));
}

void Kiss::setOnReceiveFailedCallback(std::function<void()> callback)
{
    output_->receiveFailed = std::move(callback);
}

void Kiss::setOnReceiveSuccessCallbac(std::function<void()> callback)
{
    output_->receiveSuccess = std::move(callback);
}

} // namespace kiss
