// Latency of one transaction round trip through the C interface against a
// terminal on loopback that answers from the simulated terminal's replies, against a plain loopback round trip of the
// same request and reply bytes between two sockets.
//   bench_e2e_latency [--samples=20000] [--seconds=10]
#include "BenchArguments.h"
#include "BenchTransaction.h"
#include "LatencySamples.h"
#include "ProcessFigures.h"

#include "engine/service/oxazuva.h"
#include "simterminal/SimTerminal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>

using testsupport::Bytes;
using testsupport::SimMessage;
using testsupport::SimTerminal;

namespace {

const char* const Terminal = "TERM0001";
using Clock = std::chrono::steady_clock;

struct Counter {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    int errors = 0;

    bool waitFor(int wanted, std::chrono::seconds deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, deadline, [&] { return count >= wanted; });
    }
};

void ignore(const char*, void*)
{
}

// Notifies after unlocking, so that the woken thread does not wake only to
// wait for the lock; the counter outlives the service.
void countResult(const char* json, void* userData)
{
    Counter& counter = *static_cast<Counter*>(userData);
    {
        std::lock_guard<std::mutex> lock(counter.mutex);
        ++counter.count;
        if (!BenchTransaction::succeeded(json))
            ++counter.errors;
    }
    counter.changed.notify_all();
}

struct Budget {
    int64_t samples;
    std::chrono::seconds time;
};

LatencySamples measureLibrary(const BenchTransaction& transaction, const Budget& budget, Counter& results)
{
    LatencySamples samples;
    samples.reserve(static_cast<size_t>(budget.samples));
    const int warmUp = 200;
    const auto end = Clock::now() + budget.time;
    for (int sent = 1; samples.size() < static_cast<size_t>(budget.samples) && Clock::now() < end; ++sent) {
        zuva_reply_function reply = nullptr;
        void* replyHandle = nullptr;
        const auto start = Clock::now();
        zuva_send_transaction(Terminal, transaction.request(), countResult, &results, &reply, &replyHandle, nullptr);
        if (!results.waitFor(sent, std::chrono::seconds(30))) {
            std::printf("  no result for transaction %d within 30 s: stopped\n", sent);
            break;
        }
        if (sent > warmUp)
            samples.add(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
    }
    return samples;
}

int listeningSocket(uint16_t& port)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(server, 1);
    ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return server;
}

bool exchange(int socket, const Bytes& out, Bytes& in)
{
    if (::send(socket, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()))
        return false;
    return ::recv(socket, in.data(), in.size(), MSG_WAITALL) == static_cast<ssize_t>(in.size());
}

// The terminal side answers each request with the reply bytes, the host side
// sends the request bytes and waits for the whole reply.
LatencySamples measurePlain(const Bytes& request, const Bytes& reply, const Budget& budget)
{
    uint16_t port = 0;
    const int server = listeningSocket(port);
    std::thread terminal([server, &request, &reply] {
        const int peer = ::accept(server, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Bytes received(request.size());
        while (::recv(peer, received.data(), received.size(), MSG_WAITALL) == static_cast<ssize_t>(received.size())
               && ::send(peer, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size())) {
        }
        ::close(peer);
    });
    const int host = SimTerminal::loopbackConnection(port);
    Bytes received(reply.size());
    LatencySamples samples;
    samples.reserve(static_cast<size_t>(budget.samples));
    const auto end = Clock::now() + budget.time;
    for (int sent = 1; samples.size() < static_cast<size_t>(budget.samples) && Clock::now() < end; ++sent) {
        const auto start = Clock::now();
        if (!exchange(host, request, received))
            break;
        if (sent > 200)
            samples.add(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
    }
    ::shutdown(host, SHUT_RDWR);
    ::close(host);
    terminal.join();
    ::close(server);
    return samples;
}

// The terminal side of the library measurement. Like the plain server it only
// reads, looks up and writes: a request seen before (the sequence number cycles
// through 99 values) is answered with the bytes built for it the first time, so
// the simulated terminal's own codec does not count against the library.
class LeanTerminal {
public:
    struct Exchange {
        Bytes request;
        Bytes reply;
    };

    ~LeanTerminal() { close(); }

    bool connectTo(uint16_t port, const Bytes& advice)
    {
        m_socket = SimTerminal::loopbackConnection(port);
        if (m_socket < 0 || ::send(m_socket, advice.data(), advice.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(advice.size()))
            return false;
        m_reader = std::thread([this] { answerRequests(); });
        return true;
    }

    // Ends the connection; returns the last request answered and its reply.
    Exchange close()
    {
        if (m_reader.joinable()) {
            ::shutdown(m_socket, SHUT_RDWR);
            m_reader.join();
            ::close(m_socket);
        }
        return m_last;
    }

private:
    void answerRequests()
    {
        Bytes request(SimMessage::HeaderSize);
        while (receive(request, 0, SimMessage::HeaderSize)) {
            SimMessage probe;
            probe.header.assign(request.begin(), request.begin() + SimMessage::HeaderSize);
            const size_t bodySize = static_cast<size_t>(probe.announcedLength());
            request.resize(SimMessage::HeaderSize + bodySize);
            if (!receive(request, SimMessage::HeaderSize, bodySize))
                return;
            const Bytes& reply = replyTo(request);
            if (!reply.empty() && ::send(m_socket, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size()))
                return;
            if (!reply.empty())
                m_last = Exchange{request, reply};
            request.resize(SimMessage::HeaderSize);
        }
    }

    bool receive(Bytes& into, size_t offset, size_t size)
    {
        return size == 0 || ::recv(m_socket, into.data() + offset, size, MSG_WAITALL) == static_cast<ssize_t>(size);
    }

    const Bytes& replyTo(const Bytes& request)
    {
        const auto known = m_replies.find(request);
        if (known != m_replies.end())
            return known->second;
        const Bytes header(request.begin(), request.begin() + SimMessage::HeaderSize);
        const Bytes body(request.begin() + SimMessage::HeaderSize, request.end());
        try {
            return m_replies[request] = BenchTransaction::terminalReply(SimMessage::parse(header, body), Terminal);
        } catch (const std::exception&) {
            return m_replies[request]; // not a message: no answer
        }
    }

    int m_socket = -1;
    std::thread m_reader;
    std::map<Bytes, Bytes> m_replies;
    Exchange m_last;
};

double ratio(int64_t numerator, int64_t denominator)
{
    return denominator > 0 ? static_cast<double>(numerator) / static_cast<double>(denominator) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchArguments arguments(argc, argv);
    if (!arguments.selects("E2eLatency"))
        return 0;
    const Budget budget{arguments.number("samples", 20000), std::chrono::seconds(arguments.number("seconds", 10))};

    Counter connected;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    void* service = zuva_start_tcpip_service(port, ignore, ignore, countResult, ignore, ignore, ignore, &connected);
    LeanTerminal terminal;
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = Terminal;
    if (!terminal.connectTo(port, SimTerminal::adviceMessage(advice))
        || !connected.waitFor(1, std::chrono::seconds(10))) {
        std::printf("E2eLatency: the simulated terminal did not connect\n");
        return 1;
    }

    const BenchTransaction transaction = BenchTransaction::choose(Terminal);
    std::printf("E2eLatency: transaction %s%s, one terminal on loopback, up to %lld samples or %lld s each; "
                "machine load %s\n",
                transaction.name(),
                transaction.kind() == BenchTransaction::Kind::Sale ? "" : " (the sale does not succeed yet)",
                static_cast<long long>(budget.samples), static_cast<long long>(budget.time.count()), ProcessFigures::machineLoad().c_str());
    Counter results;
    LatencySamples library = measureLibrary(transaction, budget, results);
    zuva_stop_service(service);
    const LeanTerminal::Exchange last = terminal.close();

    const Bytes& request = last.request;
    const Bytes& reply = last.reply;
    LatencySamples plain = measurePlain(request, reply, budget);

    std::printf("  C interface + simulated terminal: %s, error results %d\n", library.summary().c_str(), results.errors);
    std::printf("  plain loopback, same bytes (%zu out, %zu back): %s\n", request.size(), reply.size(),
                plain.summary().c_str());
    std::printf("  ratio library/plain: median %.1fx, p99 %.1fx\n", ratio(library.quantile(0.5), plain.quantile(0.5)),
                ratio(library.quantile(0.99), plain.quantile(0.99)));
    return 0;
}
