// Message throughput of the serial link over a pseudo-terminal pair, against
// a plain write of the same payload bytes over the same kind of pair.
#include "link/Kiss.h"

#include "foundation/SerialPort.h"

#include "simterminal/LinkPeer.h"
#include "simterminal/SerialLine.h"
#include "support/Wait.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <atomic>
#include <memory>

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "bench_link";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

std::shared_ptr<vorsam::SerialPort> openPort(const testsupport::SerialLine& pty)
{
    auto port = vorsam::makeSerialPort();
    port->open(QString::fromStdString(pty.slaveName()), vorsam::Baud115200, vorsam::NoParity, vorsam::OneStop);
    testsupport::waitUntil([&] { return port->isOpen(); });
    return port;
}

QByteArray payloadOf(benchmark::State& state)
{
    QByteArray payload;
    for (int64_t i = 0; i < state.range(0); ++i)
        payload.append(static_cast<char>(i * 7));
    return payload;
}

// A link over a pseudo-terminal pair, connected to a terminal on the master.
class ConnectedLink {
public:
    ConnectedLink()
        : pty_([this](const testsupport::Bytes& bytes) { peer_->receive(bytes); })
        , peer_(std::make_unique<testsupport::LinkPeer>([this](const testsupport::Bytes& bytes) { pty_.send(bytes); }))
        , port_(openPort(pty_))
        , link_(std::make_unique<kiss::Kiss>(port_->getInputStream(), port_->getOutputStream(), boost::none))
    {
        link_->start();
        QByteArray ignored;
        testsupport::waitUntil([&] {
            link_->getInputStream()->read(ignored);
            return link_->isConnected();
        });
    }
    ~ConnectedLink()
    {
        link_.reset();
        port_->close();
    }
    testsupport::LinkPeer& peer() { return *peer_; }
    kiss::Kiss& link() { return *link_; }

private:
    testsupport::SerialLine pty_;
    std::unique_ptr<testsupport::LinkPeer> peer_;
    std::shared_ptr<vorsam::SerialPort> port_;
    std::unique_ptr<kiss::Kiss> link_;
};

// One payload per data frame, each acknowledged by a terminal on the master.
void BM_LinkMessages(benchmark::State& state)
{
    ensureApplication();
    const QByteArray payload = payloadOf(state);
    {
        ConnectedLink connected;
        QByteArray ignored;
        size_t sent = 0;
        for (auto _ : state) {
            connected.link().getOutputStream()->write(reinterpret_cast<const unsigned char*>(payload.constData()),
                                                      payload.size());
            ++sent;
            // Reading the link is what lets it see the terminal's ACK.
            while (connected.peer().messageCount() < sent)
                connected.link().getInputStream()->read(ignored);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}

// The terminal's payloads, one data frame each, read from the link as the
// engine reads them: the receiving side of every reply.
void BM_LinkReplies(benchmark::State& state)
{
    ensureApplication();
    const QByteArray payload = payloadOf(state);
    const testsupport::Bytes reply(payload.begin(), payload.end());
    {
        ConnectedLink connected;
        QByteArray received;
        for (auto _ : state) {
            connected.peer().sendMessage(reply);
            received.clear();
            while (received.size() < payload.size())
                connected.link().getInputStream()->read(received);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}

// The same payload written straight to the port, received on the master.
void BM_PlainWrites(benchmark::State& state)
{
    ensureApplication();
    std::atomic<size_t> received{0};
    testsupport::SerialLine pty([&](const testsupport::Bytes& bytes) { received += bytes.size(); });
    auto port = openPort(pty);
    const QByteArray payload = payloadOf(state);
    const auto output = port->getOutputStream();
    size_t sent = 0;
    for (auto _ : state) {
        output->write(reinterpret_cast<const unsigned char*>(payload.constData()), payload.size());
        sent += static_cast<size_t>(payload.size());
        while (received < sent) {
        }
    }
    port->close();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}

} // namespace

BENCHMARK(BM_LinkMessages)->Arg(38)->Arg(512)->Arg(4096)->UseRealTime();
BENCHMARK(BM_LinkReplies)->Arg(38)->Arg(512)->UseRealTime();
BENCHMARK(BM_PlainWrites)->Arg(38)->Arg(512)->Arg(4096)->UseRealTime();
BENCHMARK_MAIN();
