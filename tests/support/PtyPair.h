#pragma once

#include "simterminal/SimTlv.h"
#include "support/PseudoTerminal.h"

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace testsupport {

// A pseudo-terminal whose master's received bytes go to the given function
// on a reader thread of its own.
class PtyPair {
public:
    using Receive = std::function<void(const Bytes&)>;

    explicit PtyPair(Receive receive)
        : receive_(std::move(receive))
    {
        if (terminal_.isOpen())
            reader_ = std::thread([this] { readMaster(); });
    }

    ~PtyPair()
    {
        stopping_ = true;
        if (reader_.joinable())
            reader_.join();
    }

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return terminal_.isOpen(); }
    QString slaveName() const { return terminal_.path(); }

    // Writes to the master, i.e. towards the code under test.
    void send(const Bytes& bytes) { terminal_.send(reinterpret_cast<const char*>(bytes.data()), bytes.size()); }

private:
    void readMaster()
    {
        while (!stopping_) {
            const QByteArray chunk = terminal_.receiveSome(10);
            if (!chunk.isEmpty())
                receive_(Bytes(chunk.begin(), chunk.end()));
        }
    }

    Receive receive_;
    PseudoTerminal terminal_;
    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

} // namespace testsupport
