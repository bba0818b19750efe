#include "foundation/SerialServer.h"

#include "tests/support/PseudoTerminal.h"
#include "tests/support/Wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>

using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

class RecordingSerialListener : public vorsam::SerialServerListener {
public:
    void onOpen(std::weak_ptr<vorsam::SerialPort> port) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++opens_;
        threadName_ = QThread::currentThread()->objectName().toStdString();
        port_ = port;
    }
    void onClose(std::weak_ptr<vorsam::SerialPort>) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++closes_;
    }
    // Called on the server's thread, so the port can be read at once.
    void onDataPending(std::weak_ptr<vorsam::SerialPort> port) override
    {
        QByteArray bytes;
        if (auto held = port.lock())
            held->getInputStream()->read(bytes);
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(bytes);
    }

    int opens() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return opens_;
    }
    int closes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return closes_;
    }
    QByteArray received() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    std::string threadName() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return threadName_;
    }
    std::shared_ptr<vorsam::SerialPort> port() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return port_.lock();
    }

private:
    mutable std::mutex mutex_;
    int opens_ = 0;
    int closes_ = 0;
    QByteArray received_;
    std::string threadName_;
    std::weak_ptr<vorsam::SerialPort> port_;
};

class SerialServer : public ::testing::Test {
protected:
    bool open(const QString& path)
    {
        return server->open(path, vorsam::Baud9600, vorsam::NoParity, vorsam::OneStop);
    }

    std::unique_ptr<vorsam::SerialServer> server = vorsam::makeSerialServer();
    std::shared_ptr<RecordingSerialListener> listener = std::make_shared<RecordingSerialListener>();
};

} // namespace

TEST_F(SerialServer, ClosedServerRefusesToClose)
{
    EXPECT_FALSE(server->close());
    EXPECT_FALSE(server->isOpen());
}

TEST_F(SerialServer, TellsItsListenersOfOpeningAndData)
{
    PseudoTerminal terminal;
    server->registerListener(listener);
    ASSERT_TRUE(open(terminal.path()));
    EXPECT_FALSE(open(terminal.path()));
    ASSERT_TRUE(waitUntil([&] { return listener->opens() == 1; }));
    EXPECT_TRUE(server->isOpen());
    EXPECT_EQ(listener->threadName(), "SerialServer(" + terminal.path().toStdString() + ")Thread");

    ASSERT_TRUE(terminal.send("hello"));
    EXPECT_TRUE(waitUntil([&] { return listener->received() == "hello"; }));
    const auto port = listener->port();
    ASSERT_NE(port, nullptr);
    const QByteArray reply = "reply";
    ASSERT_TRUE(port->getOutputStream()->write(reinterpret_cast<const unsigned char*>(reply.constData()),
                                               reply.size()));
    EXPECT_EQ(terminal.receive(5), "reply");

    // Closing the server closes the port without telling the listeners.
    EXPECT_TRUE(server->close());
    EXPECT_FALSE(server->isOpen());
    EXPECT_EQ(listener->closes(), 0);
}

TEST_F(SerialServer, RefusesLineSettingsOutsideTheirEnumerationsOnTheCallersThread)
{
    PseudoTerminal terminal;
    EXPECT_THROW(server->open(terminal.path(), vorsam::Baud9600, static_cast<vorsam::Parity>(9), vorsam::OneStop),
                 std::invalid_argument);
    EXPECT_THROW(server->open(terminal.path(), vorsam::Baud9600, vorsam::NoParity, static_cast<vorsam::StopBits>(-1)),
                 std::invalid_argument);
    EXPECT_FALSE(server->close()) << "nothing was started";
}

TEST_F(SerialServer, MissingDeviceTellsNobody)
{
    server->registerListener(listener);
    ASSERT_TRUE(open("/dev/zuva-no-such-port"));
    EXPECT_FALSE(server->isOpen());
    EXPECT_TRUE(server->close());
    EXPECT_EQ(listener->opens(), 0);
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
    EXPECT_TRUE(waitUntil([&] { return listener->received() == "new"; }));
}

TEST_F(SerialServer, TellsEachListenerEntryOfEveryEvent)
{
    auto other = std::make_shared<RecordingSerialListener>();
    server->registerListener(listener);
    server->registerListener(listener);
    server->registerListener(std::shared_ptr<vorsam::SerialServerListener>());
    server->registerListener(other);
    server->registerListener(listener);
    server->unregisterListener(std::make_shared<RecordingSerialListener>());
    PseudoTerminal terminal;
    ASSERT_TRUE(open(terminal.path()));
    ASSERT_TRUE(waitUntil([&] { return listener->opens() == 2 && other->opens() == 1; }));
    EXPECT_TRUE(server->close());

    server->unregisterListener(listener);
    ASSERT_TRUE(open(terminal.path()));
    ASSERT_TRUE(waitUntil([&] { return listener->opens() == 3 && other->opens() == 2; }));
}
