#pragma once

#include "simterminal/SimTlv.h"

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

// A pseudo-terminal pair in raw mode: the code under test opens the slave by
// its name as a serial port; the test plays the far end on the master, whose
// received bytes go to the given function on a reader thread of its own.
// Unplugging closes both ends, like pulling the adapter out.
class PtyPair {
public:
    using Receive = std::function<void(const Bytes&)>;

    explicit PtyPair(Receive receive)
        : receive_(std::move(receive))
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        slaveName_ = QString::fromLocal8Bit(name);
        reader_ = std::thread([this] { readMaster(); });
    }

    ~PtyPair() { unplug(); }

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return master_ >= 0; }
    QString slaveName() const { return slaveName_; }

    // Writes to the master, i.e. towards the code under test; false unless all went.
    bool send(const Bytes& bytes)
    {
        size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + written, bytes.size() - written);
            if (n <= 0)
                return false;
            written += static_cast<size_t>(n);
        }
        return true;
    }

    void unplug()
    {
        stopping_ = true;
        if (reader_.joinable())
            reader_.join();
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
        master_ = slave_ = -1;
    }

private:
    void readMaster()
    {
        while (!stopping_) {
            pollfd fd{master_, POLLIN, 0};
            char chunk[4096];
            if (poll(&fd, 1, 10) != 1 || !(fd.revents & POLLIN))
                continue;
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0)
                receive_(Bytes(chunk, chunk + n));
        }
    }

    Receive receive_;
    int master_ = -1;
    int slave_ = -1;
    QString slaveName_;
    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

} // namespace testsupport
