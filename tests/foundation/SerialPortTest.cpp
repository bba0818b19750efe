#include "foundation/SerialPort.h"

#include "tests/support/PseudoTerminal.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

} // namespace

TEST(SerialPort, NewPortKnowsNothingAndCannotTalk)
{
    const auto port = vorsam::makeSerialPort();
    EXPECT_EQ(port->getPort(), "");
    EXPECT_EQ(port->getBaudRate(), 0);
    EXPECT_EQ(port->getParity(), vorsam::NoParity);
    EXPECT_EQ(port->getStopBits(), vorsam::OneStop);
    EXPECT_FALSE(port->isOpen());
    EXPECT_TRUE(port->close());
    QByteArray data;
    EXPECT_EQ(port->getInputStream()->read(data), 0);
    EXPECT_FALSE(write(*port, "x"));
    EXPECT_EQ(vorsam::getBaudRateAsNumericValue(vorsam::Baud9600), 9600);
}

TEST(SerialPort, OpensTalksAndRefusesASecondOpen)
{
    PseudoTerminal terminal;
    const auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(port->open(terminal.path(), vorsam::Baud9600, vorsam::EvenParity, vorsam::TwoStop));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    EXPECT_FALSE(port->open("/dev/null", vorsam::Baud19200, vorsam::NoParity, vorsam::OneStop));
    EXPECT_EQ(port->getPort(), terminal.path());
    EXPECT_EQ(port->getBaudRate(), vorsam::Baud9600);
    EXPECT_EQ(port->getParity(), vorsam::EvenParity);
    EXPECT_EQ(port->getStopBits(), vorsam::TwoStop);

    ASSERT_TRUE(write(*port, "to terminal"));
    EXPECT_EQ(terminal.receive(11), "to terminal");
    ASSERT_TRUE(terminal.send("to library"));
    EXPECT_EQ(readUntil(*port, "to library"), "to library");
    EXPECT_TRUE(port->close());
    EXPECT_FALSE(port->isOpen());
}

// Refused on the caller's thread, before any thread or device is touched.
TEST(SerialPort, RefusesLineSettingsOutsideTheirEnumerations)
{
    PseudoTerminal terminal;
    const auto port = vorsam::makeSerialPort();
    try {
        port->open(terminal.path(), vorsam::Baud9600, static_cast<vorsam::Parity>(5), vorsam::OneStop);
        FAIL() << "parity 5 was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid parity value");
    }
    try {
        port->open(terminal.path(), vorsam::Baud9600, vorsam::NoParity, static_cast<vorsam::StopBits>(3));
        FAIL() << "stop bits 3 were accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid stopbits value");
    }
    EXPECT_EQ(port->getPort(), "");
    EXPECT_FALSE(port->isOpen());
    EXPECT_TRUE(port->open(terminal.path(), vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop));
}

TEST(SerialPort, MissingDeviceLeavesThePortClosed)
{
    const auto port = vorsam::makeSerialPort();
    EXPECT_TRUE(port->open("/dev/zuva-no-such-port", vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop));
    QByteArray data;
    EXPECT_EQ(port->getInputStream()->read(data), 0);
    EXPECT_FALSE(port->isOpen());
    EXPECT_FALSE(port->open("/dev/zuva-no-such-port", vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop))
        << "its thread still runs";
    EXPECT_TRUE(port->close());
}

// A port whose thread has ended, by close() or by an unplugged adapter,
// opens again.
TEST(SerialPort, OpensAgainAfterACloseAndAfterAnUnplug)
{
    PseudoTerminal first;
    const auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(port->open(first.path(), vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(port->close());
    ASSERT_TRUE(port->open(first.path(), vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(first.send("again"));
    EXPECT_EQ(readUntil(*port, "again"), "again");

    first.unplug();
    ASSERT_TRUE(waitUntil([&] { return !port->isOpen(); }));

    PseudoTerminal second;
    ASSERT_TRUE(waitUntil(
        [&] { return port->open(second.path(), vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop); }));
    ASSERT_TRUE(waitUntil([&] { return port->isOpen(); }));
    ASSERT_TRUE(write(*port, "back"));
    EXPECT_EQ(second.receive(4), "back");
}

TEST(SerialPort, ListsTheSystemsPortsByName)
{
    for (const QString& name : vorsam::getAvailableSerialPorts())
        EXPECT_FALSE(name.isEmpty());
}
