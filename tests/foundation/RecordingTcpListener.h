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

// Counts what the TCP server reports, keeps the sockets it hears of and
// reads every socket's pending bytes as the server announces them.
class RecordingTcpListener : public vorsam::TcpIpServerListener {
public:
    void onConnect(std::weak_ptr<vorsam::TcpIpSocket> socket) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++connects_;
        threadName_ = QThread::currentThread()->objectName().toStdString();
        if (keepSockets_)
            if (auto held = socket.lock())
                sockets_.push_back(held);
    }

    void onDisconnect(std::weak_ptr<vorsam::TcpIpSocket>) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++disconnects_;
    }

    void onDataPending(std::weak_ptr<vorsam::TcpIpSocket> socket) override
    {
        const auto held = socket.lock();
        if (!held)
            return;
        QByteArray bytes;
        held->getInputStream()->read(bytes);
        std::lock_guard<std::mutex> lock(mutex_);
        received_[held.get()].append(bytes);
    }

    int connects() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return connects_;
    }
    int disconnects() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return disconnects_;
    }
    std::string threadName() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return threadName_;
    }
    QByteArray receivedFrom(const vorsam::TcpIpSocket* socket) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = received_.find(socket);
        return found == received_.end() ? QByteArray() : found->second;
    }
    QByteArray receivedFromAll() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        QByteArray all;
        for (const auto& entry : received_)
            all.append(entry.second);
        return all;
    }
    std::shared_ptr<vorsam::TcpIpSocket> socket(std::size_t index) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return index < sockets_.size() ? sockets_[index] : nullptr;
    }
    void keepSockets(bool keep)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        keepSockets_ = keep;
    }
    void releaseSockets()
    {
        std::vector<std::shared_ptr<vorsam::TcpIpSocket>> released;
        std::lock_guard<std::mutex> lock(mutex_);
        released.swap(sockets_);
    }

private:
    mutable std::mutex mutex_;
    int connects_ = 0;
    int disconnects_ = 0;
    std::string threadName_;
    bool keepSockets_ = true;
    std::map<const vorsam::TcpIpSocket*, QByteArray> received_;
    std::vector<std::shared_ptr<vorsam::TcpIpSocket>> sockets_;
};

} // namespace foundationtest
