#include "LinkFixture.h"

#include "foundation/SerialPort.h"

#include "support/PtyPair.h"

using namespace linktest;

using LinkOverPty = LinkFixture;

namespace {

// The terminal, played on the master side of a pseudo-terminal pair.
class PtyTerminal : public testsupport::LinkPeer {
public:
    PtyTerminal()
        : LinkPeer([this](const testsupport::Bytes& bytes) { pty.send(bytes); })
    {
    }

    testsupport::PtyPair pty{[this](const testsupport::Bytes& bytes) { receive(bytes); }};
};

testsupport::Bytes bytesOf(const QByteArray& array)
{
    return testsupport::Bytes(array.begin(), array.end());
}

} // namespace

TEST_F(LinkOverPty, CarriesMessagesBothWaysWithAnIndependentTerminal)
{
    PtyTerminal terminal;
    ASSERT_TRUE(terminal.pty.isOpen());
    auto port = vorsam::makeSerialPort();
    ASSERT_TRUE(port->open(terminal.pty.slaveName(), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop));
    ASSERT_TRUE(testsupport::waitUntil([&] { return port->isOpen(); }));

    makeLink(boost::none, fastTimings(), port->getInputStream(), port->getOutputStream());
    link->start();
    ASSERT_TRUE(waitFor([&] { return connected == 1; }));
    QByteArray ticket; // every byte value
    for (int i = 0; i < 300; ++i)
        ticket.append(static_cast<char>(i & 0xFF));
    ASSERT_TRUE(link->getOutputStream()->write(reinterpret_cast<const unsigned char*>(ticket.constData()),
                                               ticket.size()));
    ASSERT_TRUE(waitFor([&] { return terminal.messages().size() == 1; }));
    EXPECT_EQ(terminal.messages()[0], bytesOf(ticket));

    // Two messages back to back arrive in one read or several; none is left behind.
    terminal.sendMessage(bytesOf("first"));
    terminal.sendMessage(bytesOf(ticket));
    ASSERT_TRUE(waitFor([&] { return received.size() == 5 + ticket.size(); }));
    EXPECT_EQ(received, QByteArray("first") + ticket);
    ASSERT_TRUE(waitFor([&] { return terminal.acknowledgements().size() == 2; }));
    EXPECT_EQ(terminal.acknowledgements(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(terminal.frameSequences(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(terminal.naks(), 0);
    EXPECT_EQ(sendFailed, 0);
    link.reset();
    port->close();
}
