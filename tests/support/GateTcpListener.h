#pragma once

#include "foundation/TcpIpServerListener.h"
#include "foundation/TcpIpSocket.h"
#include "simterminal/ScaledDeadline.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace testsupport {

// A listener of a TCP server that, while shut, holds the thread reporting a
// socket's data until it is opened again (or 20 s have passed), holding no
// reference to the socket itself. It notes the last socket connected.
class GateTcpListener : public vorsam::TcpIpServerListener {
public:
    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        last_ = std::move(socket);
    }

    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket>) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (open_)
            return;
        holding_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, scaled(std::chrono::seconds(20)), [this] { return open_; });
    }

    void shut()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
    }

    void open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

    // Whether a report came while shut, within 20 s.
    bool waitUntilHolding()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return noteWait(changed_.wait_for(lock, waitDeadline(std::chrono::seconds(20)), [this] { return holding_; }));
    }

    std::shared_ptr<vorsam::TcpIpSocket> lastConnected() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_.lock();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::weak_ptr<vorsam::TcpIpSocket> last_;
    bool open_ = true;
    bool holding_ = false;
};

} // namespace testsupport
