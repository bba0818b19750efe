#include "SerialLine.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool speedOf(int baudRate, speed_t& speed)
{
    static const struct {
        int rate;
        speed_t speed;
    } speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
                  {230400, B230400}};
    for (const auto& entry : speeds) {
        if (entry.rate == baudRate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

// 8N1 without flow control, every byte passed as it is.
bool makeRaw(int fd, const speed_t* speed)
{
    termios raw{};
    if (tcgetattr(fd, &raw) != 0)
        return false;
    cfmakeraw(&raw);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    raw.c_cflag |= CLOCAL | CREAD;
    if (speed && (cfsetispeed(&raw, *speed) != 0 || cfsetospeed(&raw, *speed) != 0))
        return false;
    return tcsetattr(fd, TCSANOW, &raw) == 0;
}

} // namespace

SerialLine::SerialLine(Receive receive)
    : receive_(std::move(receive))
{
    char name[256] = {};
    if (openpty(&line_, &slave_, name, nullptr, nullptr) != 0) {
        line_ = slave_ = -1;
        return;
    }
    makeRaw(slave_, nullptr);
    slaveName_ = name;
    startReading();
}

SerialLine::SerialLine(const std::string& device, int baudRate, Receive receive)
    : receive_(std::move(receive))
{
    speed_t speed = B0;
    if (!speedOf(baudRate, speed))
        return;
    line_ = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (line_ >= 0 && !makeRaw(line_, &speed)) {
        ::close(line_);
        line_ = -1;
    }
    if (line_ >= 0)
        startReading();
}

SerialLine::~SerialLine()
{
    unplug();
}

void SerialLine::startReading()
{
    reader_ = std::thread([this] { readLine(); });
}

bool SerialLine::send(const Bytes& bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(line_, bytes.data() + written, bytes.size() - written);
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

void SerialLine::unplug()
{
    stopping_ = true;
    if (reader_.joinable())
        reader_.join();
    if (line_ >= 0)
        ::close(line_);
    if (slave_ >= 0)
        ::close(slave_);
    line_ = slave_ = -1;
}

void SerialLine::readLine()
{
    while (!stopping_) {
        pollfd fd{line_, POLLIN, 0};
        char chunk[4096];
        if (poll(&fd, 1, 10) != 1)
            continue;
        // A device that went away hangs up for good: stop instead of spinning.
        if (!(fd.revents & POLLIN))
            return;
        const ssize_t n = ::read(line_, chunk, sizeof chunk);
        if (n > 0)
            receive_(Bytes(chunk, chunk + n));
        else if (n == 0 || errno != EINTR)
            return;
    }
}

} // namespace testsupport
