#pragma once

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QByteArray>

#include <functional>
#include <mutex>
#include <vector>

namespace testsupport {

// An input stream fed by the test: read hands out whatever was pushed since.
class LinkTestInputStream : public vorsam::InputStream {
public:
    void push(const QByteArray& bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.append(bytes);
    }

    int read(QByteArray& data) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int count = pending_.size();
        data.append(pending_);
        pending_.clear();
        return count;
    }

private:
    std::mutex mutex_;
    QByteArray pending_;
};

// An output stream that records every write, one entry per call.
class LinkTestOutputStream : public vorsam::OutputStream {
public:
    bool write(const unsigned char* data, int size) override
    {
        const QByteArray bytes(reinterpret_cast<const char*>(data), size);
        std::function<void(const QByteArray&)> forward;
        bool accept = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            writes_.push_back(bytes);
            forward = forward_;
            accept = accept_;
        }
        if (forward)
            forward(bytes);
        return accept;
    }

    // Hands every write on as well, e.g. to a peer playing the other side.
    void setForward(std::function<void(const QByteArray&)> forward)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        forward_ = std::move(forward);
    }

    std::vector<QByteArray> writes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_;
    }

    size_t count() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_.size();
    }

    QByteArray at(size_t index) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return index < writes_.size() ? writes_[index] : QByteArray();
    }

    // Number of writes equal to bytes.
    size_t countOf(const QByteArray& bytes) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t count = 0;
        for (const QByteArray& write : writes_)
            count += write == bytes ? 1 : 0;
        return count;
    }

    void setAccept(bool accept)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        accept_ = accept;
    }

private:
    mutable std::mutex mutex_;
    std::vector<QByteArray> writes_;
    std::function<void(const QByteArray&)> forward_;
    bool accept_ = true;
};

} // namespace testsupport
