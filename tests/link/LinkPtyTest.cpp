#include "LinkFixture.h"

#include "foundation/SerialPort.h"

#include "support/PtyPair.h"

using namespace linktest;

namespace {

// The terminal, played on the master side of a pseudo-terminal pair.
class PtyTerminal {
public:
    PtyTerminal()
        : peer_([this](const testsupport::Bytes& bytes) { pty_.send(bytes); })
        , pty_([this](const testsupport::Bytes& bytes) { peer_.receive(bytes); })
    {
    }

    bool isOpen() const { return pty_.isOpen(); }
    QString slaveName() const { return pty_.slaveName(); }
    testsupport::LinkPeer& peer() { return peer_; }

private:
    testsupport::LinkPeer peer_;
    testsupport::PtyPair pty_;
};

QByteArray everyByteValue()
{
    QByteArray payload;
    for (int i = 0; i < 300; ++i)
        payload.append(static_cast<char>(i & 0xFF));
    return payload;
}

testsupport::Bytes bytesOf(const QByteArray& array)
{
    return testsupport::Bytes(array.begin(), array.end());
}

} // namespace

TEST(LinkOverPty, CarriesMessagesBothWaysWithAnIndependentTerminal)
{
    ensureApplication();
    PtyTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(port->open(terminal.slaveName(), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(testsupport::waitUntil([&] { return port->isOpen(); }));

    int connected = 0;
    int sendFailed = 0;
    QByteArray received;
    {
        kiss::Kiss link(port->getInputStream(), port->getOutputStream(), boost::none, fastTimings());
        link.setOnConnectedCallback([&] { ++connected; });
        link.setOnSendFailedCallback([&] { ++sendFailed; });
        link.start();
        const auto pump = [&](const std::function<bool()>& condition) {
            return testsupport::waitUntil([&] {
                QCoreApplication::processEvents();
                link.getInputStream()->read(received);
                return condition();
            });
        };
        ASSERT_TRUE(pump([&] { return connected == 1; }));

        const QByteArray ticket = everyByteValue();
        ASSERT_TRUE(link.getOutputStream()->write(reinterpret_cast<const unsigned char*>(ticket.constData()),
                                                  ticket.size()));
        ASSERT_TRUE(pump([&] { return terminal.peer().messages().size() == 1; }));
        EXPECT_EQ(terminal.peer().messages()[0], bytesOf(ticket));

        // Two messages back to back arrive in one read or several; none is left behind.
        terminal.peer().sendMessage(bytesOf("first"));
        terminal.peer().sendMessage(bytesOf(ticket));
        ASSERT_TRUE(pump([&] { return received.size() == 5 + ticket.size(); }));
        EXPECT_EQ(received, QByteArray("first") + ticket);
        ASSERT_TRUE(pump([&] { return terminal.peer().acknowledgements().size() == 2; }));
        EXPECT_EQ(terminal.peer().acknowledgements(), (std::vector<uint8_t>{1, 2}));
        EXPECT_EQ(terminal.peer().frameSequences(), (std::vector<uint8_t>{1, 2}));
        EXPECT_EQ(terminal.peer().naks(), 0);
        EXPECT_EQ(sendFailed, 0);
    }
    port->close();
}
