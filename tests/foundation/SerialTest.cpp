#include "foundation/SerialPort.h"

#include "simterminal/SerialLine.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <mutex>

using testsupport::waitUntil;

namespace {

// The far end of a serial line: collects what the port writes.
struct FarEnd {
    std::mutex mutex;
    QByteArray bytes;
    testsupport::SerialLine pty{[this](const testsupport::Bytes& chunk) {
        std::lock_guard<std::mutex> lock(mutex);
        bytes.append(reinterpret_cast<const char*>(chunk.data()), static_cast<int>(chunk.size()));
    }};
};

bool open(vorsam::SerialPort& port, const FarEnd& far)
{
    return port.open(QString::fromStdString(far.pty.slaveName()), vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop);
}

} // namespace

// A port whose thread has ended, by close() or by an unplugged adapter,
// opens again.
TEST(SerialPort, OpensAgainAfterACloseAndAfterAnUnplug)
{
    FarEnd first;
    const auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(open(*port, first));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(port->close());
    ASSERT_TRUE(open(*port, first));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(first.pty.send({'a', 'g', 'a', 'i', 'n'}));
    QByteArray received;
    EXPECT_TRUE(waitUntil([&] {
        port->getInputStream()->read(received);
        return received == "again";
    }));

    first.pty.unplug();
    ASSERT_TRUE(waitUntil([&] { return !port->isOpen(); }));
    FarEnd second;
    ASSERT_TRUE(waitUntil([&] { return open(*port, second); }));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    const unsigned char back[] = {'b', 'a', 'c', 'k'};
    ASSERT_TRUE(port->getOutputStream()->write(back, sizeof back));
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> lock(second.mutex);
        return second.bytes == "back";
    }));
}
