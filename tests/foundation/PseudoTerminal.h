#pragma once

#include "tests/support/Wait.h"

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace foundationtest {

// A pseudo-terminal pair: the library opens the slave by its path as a serial
// port, the test plays the terminal on the master. Closing the master is
// pulling the adapter out.
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
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(name);
    }

    ~PseudoTerminal() { unplug(); }

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString path() const { return path_; }

    bool send(const QByteArray& bytes)
    {
        return ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Collects what the library wrote until the expected count or the deadline.
    QByteArray receive(int expected)
    {
        QByteArray received;
        testsupport::waitUntil([&] {
            char chunk[512];
            const ssize_t n = ::read(master_, chunk, sizeof(chunk));
            if (n > 0)
                received.append(chunk, static_cast<int>(n));
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

} // namespace foundationtest
