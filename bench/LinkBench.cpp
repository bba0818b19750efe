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

// One payload per data frame, each acknowledged by a terminal on the master.
void BM_LinkMessages(benchmark::State& state)
{
    ensureApplication();
    std::unique_ptr<testsupport::LinkPeer> peer;
    testsupport::SerialLine pty([&](const testsupport::Bytes& bytes) { peer->receive(bytes); });
    peer = std::make_unique<testsupport::LinkPeer>([&](const testsupport::Bytes& bytes) { pty.send(bytes); });
    auto port = openPort(pty);
    const QByteArray payload = payloadOf(state);
    {
        kiss::Kiss link(port->getInputStream(), port->getOutputStream(), boost::none);
        link.start();
        QByteArray ignored;
        testsupport::waitUntil([&] {
            link.getInputStream()->read(ignored);
            return link.isConnected();
        });
        size_t sent = 0;
        for (auto _ : state) {
            link.getOutputStream()->write(reinterpret_cast<const unsigned char*>(payload.constData()), payload.size());
            ++sent;
            // Reading the link is what lets it see the terminal's ACK.
            while (peer->messageCount() < sent)
                link.getInputStream()->read(ignored);
        }
    }
    port->close();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}

// The terminal's payloads, one data frame each, read from the link as the
// engine reads them: the receiving side of every reply.
void BM_LinkReplies(benchmark::State& state)
{
    ensureApplication();
    std::unique_ptr<testsupport::LinkPeer> peer;
    testsupport::SerialLine pty([&](const testsupport::Bytes& bytes) { peer->receive(bytes); });
    peer = std::make_unique<testsupport::LinkPeer>([&](const testsupport::Bytes& bytes) { pty.send(bytes); });
    auto port = openPort(pty);
    const QByteArray payload = payloadOf(state);
    const testsupport::Bytes reply(payload.begin(), payload.end());
    {
        kiss::Kiss link(port->getInputStream(), port->getOutputStream(), boost::none);
        link.start();
        QByteArray received;
        testsupport::waitUntil([&] {
            link.getInputStream()->read(received);
            return link.isConnected();
        });
        for (auto _ : state) {
            peer->sendMessage(reply);
            received.clear();
            while (received.size() < payload.size())
                link.getInputStream()->read(received);
        }
    }
    port->close();
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
