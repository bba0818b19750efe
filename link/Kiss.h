#pragma once

#include "link/LinkTimings.h"

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <boost/optional.hpp>

#include <chrono>
#include <functional>
#include <memory>

namespace kiss {

class StateManager;

// The serial link as the terminal service engine sees it: built over the
// byte streams of an open serial port, it offers a pair of streams of its
// own that carry whole payloads, one acknowledged data frame each. Its
// callbacks run in the thread that built it, which needs a Qt event loop.
class Kiss {
public:
    class KissOutput;

    // heartbeat: interval of the heartbeat frames, none for no heartbeat.
    Kiss(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
         boost::optional<std::chrono::milliseconds> heartbeat);
    Kiss(std::shared_ptr<vorsam::InputStream> input, std::shared_ptr<vorsam::OutputStream> output,
         boost::optional<std::chrono::milliseconds> heartbeat, LinkTimings timings);
    virtual ~Kiss();

    Kiss(const Kiss&) = delete;
    Kiss& operator=(const Kiss&) = delete;

    std::shared_ptr<vorsam::InputStream> getInputStream() const;
    std::shared_ptr<vorsam::OutputStream> getOutputStream() const;

    void start();
    void stop();
    bool isStarted() const;
    bool isConnected() const;
    void enableHeartBeat();
    void disableHeartBeat();

    // Set before start.
    void setOnConnectedCallback(std::function<void()> callback);
    void setOnDisconnectedCallback(std::function<void()> callback);
    void setOnSendSuccessCallback(std::function<void()> callback);
    void setOnSendFailedCallback(std::function<void()> callback);
    void setOnReceiveFailedCallback(std::function<void()> callback);
    void setOnReceiveSuccessCallbac(std::function<void()> callback);

private:
    std::shared_ptr<StateManager> manager_;
    std::shared_ptr<KissOutput> output_;
};

} // namespace kiss
