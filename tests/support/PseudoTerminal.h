#pragma once

#include "Wait.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

// A pseudo-terminal pair in raw mode: the code under test opens the slave by
// its path as a serial port; the test plays the far end on the master.
// Closing the master is pulling the adapter out.
class PseudoTerminal {
public:
    PseudoTerminal()
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
        path_ = QString::fromLocal8Bit(name);
    }

    ~PseudoTerminal() { unplug(); }

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isOpen() const { return master_ >= 0; }
    QString path() const { return path_; }

    // Writes to the master, i.e. towards the code under test; false unless all went.
    bool send(const char* data, size_t size)
    {
        size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(master_, data + written, size - written);
            if (n <= 0)
                return false;
            written += static_cast<size_t>(n);
        }
        return true;
    }

    bool send(const QByteArray& bytes) { return send(bytes.constData(), static_cast<size_t>(bytes.size())); }

    // What the code under test wrote, waiting up to the time-out for the
    // first of it; empty when nothing came.
    QByteArray receiveSome(int timeoutMilliseconds)
    {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, timeoutMilliseconds) <= 0 || !(fd.revents & POLLIN))
            return QByteArray();
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        return n > 0 ? QByteArray(chunk, static_cast<int>(n)) : QByteArray();
    }

    // Collects what the code under test wrote until the expected count or the deadline.
    QByteArray receive(int expected)
    {
        QByteArray received;
        waitUntil([&] {
            received.append(receiveSome(0));
            return received.size() >= expected;
        });
        return received;
    }

    void unplug()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
        master_ = slave_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

} // namespace testsupport
