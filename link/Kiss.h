#pragma once

#include "link/LinkTimings.h"

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QByteArray>

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
    // The heartbeat runs only while enabled (the default) and the link is
    // idle. A frame whose resends run out drops the link only with a
    // heartbeat interval and while it is enabled; otherwise the link stays up
    // and only the frame is reported lost.
    void enableHeartBeat();
    void disableHeartBeat();

    // Set before start.
    void setOnConnectedCallback(std::function<void()> callback);
    void setOnDisconnectedCallback(std::function<void()> callback);
    void setOnSendSuccessCallback(std::function<void()> callback);
    // Receives the payload of the frame that was lost: one that stayed
    // unacknowledged after its last resend, or one that waited to be sent
    // when the link went down. A refused write is not reported here: the
    // write's false result is its report.
    void setOnSendFailedCallback(std::function<void(QByteArray)> callback);
    void setOnReceiveFailedCallback(std::function<void()> callback);
    void setOnReceiveSuccessCallbac(std::function<void()> callback);
    // Receives the payload of a frame dropped as a repeat of the terminal's
    // last one that may have been its answer to our message instead: its
    // frame numbers never change and it had not yet acknowledged our message.
    void setOnRepeatMayBeAnswerCallback(std::function<void(QByteArray)> callback);
    // Asked in the link thread before a payload that waited for the link is
    // sent; a payload no longer wanted (its transaction has ended) is dropped.
    void setSendCheck(std::function<bool(const QByteArray&)> stillWanted);

private:
    std::shared_ptr<StateManager> manager_;
    std::shared_ptr<KissOutput> output_;
};

} // namespace kiss
