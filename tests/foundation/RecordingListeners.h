#pragma once

#include "foundation/TcpIpServerListener.h"

#include <QByteArray>
#include <QThread>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace foundationtest {

// Counts what a server reports, holds the devices it hears of (unless told
// not to) and reads each device's pending bytes as the server announces them.
template <typename Device>
class Recorder {
public:
    int opens() const { return locked([&] { return opens_; }); }
    int closes() const { return locked([&] { return closes_; }); }
    std::string threadName() const { return locked([&] { return threadName_; }); }
    std::weak_ptr<Device> lastDevice() const { return locked([&] { return last_; }); }
    std::shared_ptr<Device> device(std::size_t index) const
    {
        return locked([&] { return index < held_.size() ? held_[index] : nullptr; });
    }
    QByteArray receivedFromAll() const
    {
        return locked([&] {
            QByteArray all;
            for (const auto& entry : received_)
                all.append(entry.second);
            return all;
        });
    }
    void keepDevices(bool keep)
    {
        locked([&] { keep_ = keep; });
    }
    void releaseDevices()
    {
        std::vector<std::shared_ptr<Device>> released;
        locked([&] { released.swap(held_); });
    }

protected:
    void opened(std::weak_ptr<Device> device)
    {
        locked([&] {
            ++opens_;
            threadName_ = QThread::currentThread()->objectName().toStdString();
            last_ = device;
            if (keep_)
                if (auto held = device.lock())
                    held_.push_back(held);
        });
    }
    void closed()
    {
        locked([&] { ++closes_; });
    }
    void dataPending(std::weak_ptr<Device> device)
    {
        const auto held = device.lock();
        if (!held)
            return;
        QByteArray bytes;
        held->getInputStream()->read(bytes);
        locked([&] { received_[held.get()].append(bytes); });
    }

private:
    template <typename F>
    auto locked(F f) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f();
    }

    mutable std::mutex mutex_;
    int opens_ = 0;
    int closes_ = 0;
    std::string threadName_;
    bool keep_ = true;
    std::weak_ptr<Device> last_;
    std::map<const Device*, QByteArray> received_;
    std::vector<std::shared_ptr<Device>> held_;
};

class RecordingTcpListener : public vorsam::TcpIpServerListener, public Recorder<vorsam::TcpIpSocket> {
public:
    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override { opened(socket); }
    void onDisconnect(std::weak_ptr<vorsam::TcpIpSocket>) override { closed(); }
    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket) override { dataPending(socket); }
};

} // namespace foundationtest
