// TCP/IP service: the round trip of one information request through the C
// interface against a plain loopback round trip of the same sizes, and the
// time for many terminals to connect and be reported.
#include "engine/service/oxazuva.h"
#include "simterminal/SimTerminal.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

struct Signal {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;

    void raise()
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++count;
        changed.notify_all();
    }
    void waitFor(int wanted)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return count >= wanted; });
    }
};

void raise(const char*, void* signal)
{
    static_cast<Signal*>(signal)->raise();
}

const char* const InformationRequest = "{\"transaction\": {\"action\": \"InformationService\"}}";

void BM_PlainLoopbackRoundTrip(benchmark::State& state)
{
    const uint16_t port = SimTerminal::freeLoopbackPort();
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(server, 1);
    std::thread echo([server] {
        const int peer = ::accept(server, nullptr, nullptr);
        char request[49];
        const char reply[60] = {};
        while (::recv(peer, request, sizeof request, MSG_WAITALL) == static_cast<ssize_t>(sizeof request))
            ::send(peer, reply, sizeof reply, 0);
        ::close(peer);
    });
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const char request[49] = {};
    char reply[60];
    for (auto _ : state) {
        ::send(client, request, sizeof request, 0);
        ::recv(client, reply, sizeof reply, MSG_WAITALL);
    }
    ::close(client);
    echo.join();
    ::close(server);
}
BENCHMARK(BM_PlainLoopbackRoundTrip)->UseRealTime();

void BM_InformationServiceRoundTrip(benchmark::State& state)
{
    Signal connected;
    Signal results;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    void* service = zuva_start_tcpip_service(port, nullptr, nullptr, raise, nullptr, nullptr, nullptr, &connected);
    SimTerminal terminal;
    terminal.on("Ci", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", "10"));
    });
    terminal.connectTo(port);
    terminal.sendAdvice();
    connected.waitFor(1);
    int sent = 0;
    for (auto _ : state) {
        zuva_reply_function reply;
        void* handle;
        zuva_send_transaction("TERM0001", InformationRequest, raise, &results, &reply, &handle, nullptr);
        results.waitFor(++sent);
    }
    zuva_stop_service(service);
}
BENCHMARK(BM_InformationServiceRoundTrip)->UseRealTime();

void BM_ConnectManyTerminals(benchmark::State& state)
{
    const int terminals = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Signal connected;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        void* service =
            zuva_start_tcpip_service(port, nullptr, nullptr, raise, nullptr, nullptr, nullptr, &connected);
        std::vector<std::unique_ptr<SimTerminal>> simulated;
        for (int i = 0; i < terminals; ++i) {
            simulated.push_back(std::make_unique<SimTerminal>());
            simulated.back()->connectTo(port);
            SimAdvice advice;
            advice.terminalIdentifier = "TERM" + std::to_string(i);
            simulated.back()->sendAdvice(advice);
        }
        connected.waitFor(terminals);
        state.PauseTiming();
        zuva_stop_service(service);
        simulated.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConnectManyTerminals)->Arg(50)->Arg(500)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
