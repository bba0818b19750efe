#include "foundation/SerialPort.h"

#include "tests/support/PseudoTerminal.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>


using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

bool write(vorsam::SerialPort& port, const QByteArray& bytes)
{
    return port.getOutputStream()->write(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}

QByteArray readUntil(vorsam::SerialPort& port, const QByteArray& expected)
{
    QByteArray received;
    waitUntil([&] {
        port.getInputStream()->read(received);
        return received.size() >= expected.size();
    });
    return received;
}

bool open(vorsam::SerialPort& port, const QString& path)
{
    return port.open(path, vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop);
}

} // namespace

// A port whose thread has ended, by close() or by an unplugged adapter,
// opens again.
TEST(SerialPort, OpensAgainAfterACloseAndAfterAnUnplug)
{
    PseudoTerminal first;
    const auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(open(*port, first.path()));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(port->close());
    ASSERT_TRUE(open(*port, first.path()));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(first.send("again"));
    EXPECT_EQ(readUntil(*port, "again"), "again");

    first.unplug();
    ASSERT_TRUE(waitUntil([&] { return !port->isOpen(); }));
    PseudoTerminal second;
    ASSERT_TRUE(waitUntil([&] { return open(*port, second.path()); }));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(write(*port, "back"));
    EXPECT_EQ(second.receive(4), "back");
}

