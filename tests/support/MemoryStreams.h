#pragma once

#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"

#include <QByteArray>

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

private:
    std::mutex m_mutex;
    QByteArray m_pending;
};

// The sending end: records every write (one entry per call) and can refuse
// writes like a stream whose device is gone. Thread-safe.
class MemoryOutputStream : public vorsam::OutputStream {
public:
    bool write(const unsigned char* data, int size) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_refusing)
            return false;
        m_writes.emplace_back(reinterpret_cast<const char*>(data), size);
        m_changed.notify_all();
        return true;
    }

    void setRefusing(bool refusing)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_refusing = refusing;
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

    // Waits (scaled deadline) until at least count writes were made.
    bool waitForWrites(size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(5000)) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, scaled(deadline), [&] { return m_writes.size() >= count; });
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
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<QByteArray> m_writes;
    bool m_refusing = false;
};

} // namespace testsupport
