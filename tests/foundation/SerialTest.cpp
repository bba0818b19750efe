#include "foundation/SerialPort.h"
#include "foundation/SerialServer.h"

#include "RecordingListeners.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <stdexcept>

using foundationtest::RecordingSerialListener;
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

// Its listener holds no port: the server alone keeps it.
class SerialServer : public ::testing::Test {
protected:
    SerialServer() { listener->keepDevices(false); }

    bool open(const QString& path) { return server->open(path, vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop); }

    std::unique_ptr<vorsam::SerialServer> server = vorsam::makeSerialServer();
    std::shared_ptr<RecordingSerialListener> listener = std::make_shared<RecordingSerialListener>();
};

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

TEST_F(SerialServer, TellsItsListenersOfOpeningAndData)
{
    EXPECT_FALSE(server->close());
    PseudoTerminal terminal;
    server->registerListener(listener);
    ASSERT_TRUE(open(terminal.path()));
    EXPECT_FALSE(open(terminal.path()));
    ASSERT_TRUE(waitUntil([&] { return listener->opens() == 1; }));
    EXPECT_TRUE(server->isOpen());
    EXPECT_EQ(listener->threadName(), "SerialServer(" + terminal.path().toStdString() + ")Thread");

    ASSERT_TRUE(terminal.send("hello"));
    EXPECT_TRUE(waitUntil([&] { return listener->receivedFromAll() == "hello"; }));
    const auto port = listener->lastDevice().lock();
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(write(*port, "reply"));
    EXPECT_EQ(terminal.receive(5), "reply");

    // Closing the server closes the port without telling the listeners.
    EXPECT_TRUE(server->close());
    EXPECT_FALSE(server->isOpen());
    EXPECT_EQ(listener->closes(), 0);
}

// After an unplug the server keeps its thread until closed; then it opens
// the port anew and tells its listeners again.
TEST_F(SerialServer, UnplugIsReportedAndTheServerOpensAgainAfterClose)
{
    server->registerListener(listener);
    {
        PseudoTerminal terminal;
        ASSERT_TRUE(open(terminal.path()));
        ASSERT_TRUE(waitUntil([&] { return listener->opens() == 1; }));
        terminal.unplug();
        ASSERT_TRUE(waitUntil([&] { return listener->closes() == 1; }));
        EXPECT_FALSE(server->isOpen());
        EXPECT_FALSE(open(terminal.path()));
        EXPECT_TRUE(server->close());
    }
    PseudoTerminal replacement;
    ASSERT_TRUE(open(replacement.path()));
    ASSERT_TRUE(waitUntil([&] { return listener->opens() == 2; }));
    ASSERT_TRUE(replacement.send("new"));
    EXPECT_TRUE(waitUntil([&] { return listener->receivedFromAll() == "new"; }));
}

