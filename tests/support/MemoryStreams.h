#pragma once

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "Wait.h"

namespace testsupport {

// The receiving end of an in-memory connection: the test (or a scripted peer)
// feeds bytes, the code under test reads them. Thread-safe.
class MemoryInputStream : public vorsam::InputStream {
public:
    void feed(const QByteArray& bytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.append(bytes);
    }

    int read(QByteArray& data) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int count = m_pending.size();
        data.append(m_pending);
        m_pending.clear();
        return count;
    }

    // Frames fed are read as the serial link gives them, each whole.
    void feedFrame(const QByteArray& frame, bool mayBeRepeat = false)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.push_back(vorsam::ReceivedFrame{frame, mayBeRepeat});
    }

    // Long beside a test thread's stalls: frames fed in a row are never taken for a quiet line.
    std::chrono::milliseconds frameGap() const override { return std::chrono::milliseconds(1000); }

    bool readFrames(std::vector<vorsam::ReceivedFrame>& frames) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_frames.empty())
            return false;
        frames.insert(frames.end(), m_frames.begin(), m_frames.end());
        m_frames.clear();
        return true;
    }

private:
    std::mutex m_mutex;
    QByteArray m_pending;
    std::vector<vorsam::ReceivedFrame> m_frames;
};

// The sending end: records every write (one entry per call) and can hand each
// on (e.g. to a peer playing the other side). Thread-safe.
class MemoryOutputStream : public vorsam::OutputStream {
public:
    // A stream that says its writes never wait lets transactions start on the caller's thread.
    explicit MemoryOutputStream(bool withoutWaiting = false)
        : m_withoutWaiting(withoutWaiting)
    {
    }

    bool writesWithoutWaiting() const override { return m_withoutWaiting; }

    bool write(const unsigned char* data, int size) override
    {
        const QByteArray bytes(reinterpret_cast<const char*>(data), size);
        std::function<void(const QByteArray&)> forward;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_writes.push_back(bytes);
            forward = m_forward;
            m_changed.notify_all();
        }
        if (forward)
            forward(bytes);
        return true;
    }

    void setForward(std::function<void(const QByteArray&)> forward)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_forward = std::move(forward);
    }

    std::vector<QByteArray> writes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes;
    }

    size_t writeCount() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes.size();
    }

    QByteArray at(size_t index) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return index < m_writes.size() ? m_writes[index] : QByteArray();
    }

    // Number of writes equal to bytes.
    size_t countOf(const QByteArray& bytes) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<size_t>(std::count(m_writes.begin(), m_writes.end(), bytes));
    }

    // Waits until at least count writes were made.
    bool waitForWrites(size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return noteWait(m_changed.wait_for(lock, waitDeadline(deadline), [&] { return m_writes.size() >= count; }));
    }

    // Waits up to the deadline for the write with that index; false when it does not come.
    bool waitForWrite(size_t index, QByteArray& write, std::chrono::milliseconds deadline) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_changed.wait_for(lock, deadline, [&] { return m_writes.size() > index; }))
            return false;
        write = m_writes[index];
        return true;
    }

private:
    const bool m_withoutWaiting;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<QByteArray> m_writes;
    std::function<void(const QByteArray&)> m_forward;
};

} // namespace testsupport
