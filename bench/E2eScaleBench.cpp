// Many terminals on one TCP/IP service, each running transactions back to
// back for a fixed time: throughput, p99 latency, threads, resident memory per
// terminal, and proof that every transaction got exactly one result. Then the
// same fleet against a plain loopback server sending the same request bytes,
// and the library's throughput as a share of that server's.
//   bench_e2e_scale [--terminals=500] [--seconds=10] [--senders=4] [--stop-under-load=1]
//                 [--terminals-answer=0] [--hang-up=1] [--withhold-mib=0]
// --withhold-mib=1040 keeps that much address space unused from the start:
// a 32-bit program under qemu-arm sees 4 GiB, an ARM kernel gives it 3 GiB.
// --stop-under-load=1 stops the service at the end instead of letting the
// transactions finish, --hang-up=1 has every terminal close its connection
// instead; --terminals-answer=0 leaves every request unanswered (with either
// of the former: each transaction must still get exactly one result).
#include "BenchArguments.h"
#include "BenchTransaction.h"
#include "LatencySamples.h"
#include "PlainHostServer.h"
#include "ProcessFigures.h"
#include "TerminalFleet.h"

#include "engine/service/oxazuva.h"
#include "foundation/ConnectionBudget.h"
#include "simterminal/SimTerminal.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t nanosecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

struct Host;

// One transaction as the host tracks it; its address is the user data.
struct Record {
    Host* host = nullptr;
    int terminal = 0;
    Clock::time_point sentAt;
    int returned = 0;
    int64_t callTime = 0; // inside zuva_send_transaction
    std::atomic<int> results{0};
    std::atomic<int> frees{0};
    std::atomic<bool> failed{false};
    std::atomic<bool> misrouted{false};
    std::atomic<int64_t> latency{0};
};

// Terminals whose previous transaction has ended, for one sender thread.
struct ReadyQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> terminals;
    bool closed = false;

    void push(int terminal)
    {
        std::lock_guard<std::mutex> lock(mutex);
        terminals.push_back(terminal);
        changed.notify_one();
    }
    void close()
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        changed.notify_all();
    }
    bool pop(int& terminal)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return closed || !terminals.empty(); });
        if (closed)
            return false;
        terminal = terminals.front();
        terminals.pop_front();
        return true;
    }
};

struct Host {
    const char* request = nullptr;
    std::vector<std::string> identifiers;
    std::vector<std::deque<Record>> records; // per terminal; only its sender appends
    std::vector<std::unique_ptr<ReadyQueue>> queues;
    std::atomic<bool> running{true};
    std::atomic<uint64_t> sent{0};
    std::atomic<uint64_t> resultsInWindow{0};
    std::atomic<uint64_t> resultsTotal{0};
    std::atomic<int> connected{0};
    std::atomic<int> disconnected{0};
    Clock::time_point connectStart;
    // Nanoseconds from connectStart to the report of the last terminal.
    std::atomic<int64_t> allConnectedAfter{-1};

    ReadyQueue& queueOf(int terminal) { return *queues[static_cast<size_t>(terminal) % queues.size()]; }
};

void onResult(const char* json, void* userData)
{
    Record& record = *static_cast<Record*>(userData);
    Host& host = *record.host;
    if (record.results.fetch_add(1) == 0)
        record.latency = nanosecondsSince(record.sentAt);
    const std::string text = json ? json : "";
    if (!BenchTransaction::succeeded(text))
        record.failed = true;
    else if (text.find(host.identifiers[static_cast<size_t>(record.terminal)]) == std::string::npos)
        record.misrouted = true;
    ++host.resultsTotal;
    if (host.running) {
        ++host.resultsInWindow;
        host.queueOf(record.terminal).push(record.terminal);
    }
}

void onFree(void* userData)
{
    ++static_cast<Record*>(userData)->frees;
}

void onConnected(const char*, void* userData)
{
    Host& host = *static_cast<Host*>(userData);
    if (++host.connected == static_cast<int>(host.identifiers.size()))
        host.allConnectedAfter = nanosecondsSince(host.connectStart);
}

void onDisconnected(const char*, void* userData)
{
    ++static_cast<Host*>(userData)->disconnected;
}

void ignore(const char*, void*)
{
}

void sendLoop(Host& host, ReadyQueue& queue)
{
    int terminal = 0;
    while (queue.pop(terminal)) {
        if (!host.running)
            continue;
        std::deque<Record>& records = host.records[static_cast<size_t>(terminal)];
        records.emplace_back();
        Record& record = records.back();
        record.host = &host;
        record.terminal = terminal;
        record.sentAt = Clock::now();
        ++host.sent;
        zuva_reply_function reply = nullptr;
        void* replyHandle = nullptr;
        record.returned = zuva_send_transaction(host.identifiers[static_cast<size_t>(terminal)].c_str(), host.request,
                                                onResult, &record, &reply, &replyHandle, onFree);
        record.callTime = nanosecondsSince(record.sentAt);
    }
}

struct Tally {
    uint64_t transactions = 0;
    uint64_t refused = 0;
    uint64_t lost = 0;
    uint64_t doubled = 0;
    uint64_t errors = 0;
    uint64_t misrouted = 0;
    uint64_t notFreed = 0;
    uint64_t freedTwice = 0;
    LatencySamples latencies;
    LatencySamples callTimes;
};

Tally tally(Host& host)
{
    Tally result;
    for (auto& records : host.records) {
        for (Record& record : records) {
            ++result.transactions;
            result.refused += record.returned != 0;
            result.lost += record.results == 0;
            result.doubled += record.results > 1;
            result.errors += record.failed;
            result.misrouted += record.misrouted;
            result.notFreed += record.frees == 0;
            result.freedTwice += record.frees > 1;
            if (record.results > 0)
                result.latencies.add(record.latency);
            result.callTimes.add(record.callTime);
        }
    }
    return result;
}

bool allEnded(Host& host)
{
    return host.resultsTotal.load() >= host.sent.load();
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds deadline)
{
    const auto end = Clock::now() + deadline;
    while (!condition() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

struct Options {
    int terminals;
    int seconds;
    int senders;
    bool stopUnderLoad;
    bool terminalsAnswer;
    bool hangUp;
};

// What the run measured apart from the per-transaction tally.
struct Figures {
    int threadsBefore = 0;
    int threadsServiceUp = 0;
    int threadsConnected = 0;
    int threadsPeak = 0;
    int64_t rssBefore = 0;
    int64_t rssConnected = 0;
    int64_t rssAfterLoad = 0;
    int64_t mappedBefore = 0;
    int64_t mappedConnected = 0;
    double fleetConnectSeconds = 0;
    double connectionCheckMicroseconds = 0;
    double windowSeconds = 0;
    uint64_t resultsInWindow = 0;
    bool drained = false;
    bool released = false;
    bool disconnectionsReported = true;
};

// Every terminal connects at once; the figure runs to the host's report of
// the last one.
bool connectAtOnce(TerminalFleet& fleet, uint16_t port, Host& host, Figures& figures)
{
    host.connectStart = Clock::now();
    if (!fleet.connect(port, host.identifiers)) {
        std::printf("E2eScale: a terminal of the fleet could not connect: %s\n", std::strerror(errno));
        return false;
    }
    figures.fleetConnectSeconds = static_cast<double>(nanosecondsSince(host.connectStart)) / 1e9;
    return waitUntil([&] { return host.allConnectedAfter >= 0; }, std::chrono::seconds(30));
}

// What the server's check of a further connection costs, as a flood meets it.
double connectionCheckMicroseconds()
{
    const int checks = 1000;
    vorsam::ConnectionBudget& budget = vorsam::ConnectionBudget::instance();
    const auto start = Clock::now();
    for (int each = 0; each < checks; ++each)
        if (budget.take())
            budget.giveBack();
    return static_cast<double>(nanosecondsSince(start)) / 1e3 / checks;
}

std::vector<std::string> terminalIdentifiers(int count)
{
    std::vector<std::string> identifiers;
    for (int i = 0; i < count; ++i) {
        char identifier[16];
        std::snprintf(identifier, sizeof identifier, "T%07d", i);
        identifiers.push_back(identifier);
    }
    return identifiers;
}

bool everyEndedTransactionReleased(Host& host)
{
    for (auto& records : host.records)
        for (Record& record : records)
            if (record.frees == 0 && record.results > 0)
                return false;
    return true;
}

// Runs transactions back to back on every terminal for the window, then lets
// those in flight end (or stops the service under them).
void runLoad(Host& host, const Options& options, void*& service, TerminalFleet& fleet, Figures& figures)
{
    for (int i = 0; i < options.senders; ++i)
        host.queues.push_back(std::make_unique<ReadyQueue>());
    std::vector<std::thread> senderThreads;
    for (int i = 0; i < options.senders; ++i)
        senderThreads.emplace_back([&host, i] { sendLoop(host, *host.queues[static_cast<size_t>(i)]); });
    const auto windowStart = Clock::now();
    for (int i = 0; i < options.terminals; ++i)
        host.queueOf(i).push(i);
    while (Clock::now() - windowStart < std::chrono::seconds(options.seconds)) {
        figures.threadsPeak = std::max(figures.threadsPeak, ProcessFigures::threadCount());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    host.running = false;
    figures.windowSeconds = static_cast<double>(nanosecondsSince(windowStart)) / 1e9;
    figures.resultsInWindow = host.resultsInWindow;
    if (options.stopUnderLoad) {
        // Every transaction in flight must still end with exactly one result.
        const long long inFlight =
            static_cast<long long>(host.sent.load()) - static_cast<long long>(host.resultsTotal.load());
        const auto stopStart = Clock::now();
        zuva_stop_service(service);
        service = nullptr;
        std::printf("  service stopped with %lld transactions in flight; zuva_stop_service took %.1f ms\n", inFlight,
                    static_cast<double>(nanosecondsSince(stopStart)) / 1e6);
    }
    if (options.hangUp) {
        std::printf("  every terminal hangs up with %lld transactions in flight\n",
                    static_cast<long long>(host.sent.load()) - static_cast<long long>(host.resultsTotal.load()));
        const auto hangUpStart = Clock::now();
        fleet.hangUp();
        const int terminals = options.terminals;
        figures.disconnectionsReported =
            waitUntil([&] { return host.disconnected >= terminals; }, std::chrono::seconds(60));
        std::printf("  %d of %d disconnections reported, the last %.2f s after the hang-up\n",
                    host.disconnected.load(), terminals, static_cast<double>(nanosecondsSince(hangUpStart)) / 1e9);
    }
    for (auto& queue : host.queues)
        queue->close();
    for (auto& thread : senderThreads)
        thread.join();
    figures.drained = waitUntil([&] { return allEnded(host); }, std::chrono::seconds(30));
    figures.released = waitUntil([&] { return everyEndedTransactionReleased(host); }, std::chrono::seconds(5));
    figures.rssAfterLoad = ProcessFigures::residentKilobytes();
    // A moment for late second results to show before counting.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

unsigned long long count(uint64_t value)
{
    return static_cast<unsigned long long>(value);
}

void printFigures(const Options& options, const Figures& figures, Tally& tally, const Host& host,
                  const TerminalFleet& fleet)
{
    std::printf("  %d terminals connecting and announcing at once: the fleet's connects took %.2f s, the host's "
                "last 'connected' report came %.2f s after the first connect\n",
                options.terminals, figures.fleetConnectSeconds, static_cast<double>(host.allConnectedAfter) / 1e9);
    std::printf("  one check of whether a further connection fits, with the fleet connected: %.2f us\n",
                figures.connectionCheckMicroseconds);
    std::printf("  throughput: %.0f transactions/s (%llu results in %.2f s)\n",
                static_cast<double>(figures.resultsInWindow) / figures.windowSeconds, count(figures.resultsInWindow),
                figures.windowSeconds);
    std::printf("  latency send->result: %s\n", tally.latencies.summary().c_str());
    std::printf("  time inside zuva_send_transaction: %s\n", tally.callTimes.summary().c_str());
    std::printf("  threads: %d before the service, %d with the service, %d with %d terminals connected, peak %d "
                "under load (of which %d are this benchmark's: main, terminal fleet, %d senders)\n",
                figures.threadsBefore, figures.threadsServiceUp, figures.threadsConnected, options.terminals,
                figures.threadsPeak, 2 + options.senders, options.senders);
    std::printf("  resident memory: %lld kB before connecting, %lld kB connected -> %.1f kB per terminal; "
                "%lld kB after the load (with this benchmark's record of every transaction, %zu bytes each)\n",
                static_cast<long long>(figures.rssBefore), static_cast<long long>(figures.rssConnected),
                static_cast<double>(figures.rssConnected - figures.rssBefore) / options.terminals,
                static_cast<long long>(figures.rssAfterLoad), sizeof(Record));
    std::printf("  address space: %lld MiB mapped before connecting, %lld MiB connected -> %.0f kB per terminal\n",
                static_cast<long long>(figures.mappedBefore / 1024),
                static_cast<long long>(figures.mappedConnected / 1024),
                static_cast<double>(figures.mappedConnected - figures.mappedBefore) / options.terminals);
    std::printf("  results: %llu transactions sent, %llu lost (no result%s), %llu doubled, %llu error results, "
                "%llu for another terminal, %llu refused (-1)\n",
                count(tally.transactions), count(tally.lost), figures.drained ? "" : " after 30 s",
                count(tally.doubled), count(tally.errors), count(tally.misrouted), count(tally.refused));
    std::printf("  user data: %llu never released%s, %llu released twice; terminal side: %llu requests answered, "
                "%llu other messages, %llu malformed, %llu connections closed by the library, %d disconnect "
                "callbacks\n",
                count(tally.notFreed), figures.released ? "" : " after 5 s", count(tally.freedTwice),
                count(fleet.requestsAnswered()), count(fleet.requestsIgnored()), count(fleet.malformedMessages()),
                count(fleet.connectionsClosedByLibrary()), host.disconnected.load());
}

// The first transaction request a terminal of the fleet received.
struct RequestSample {
    std::mutex mutex;
    testsupport::Bytes bytes;

    void keep(const testsupport::SimMessage& request)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (bytes.empty())
            bytes = testsupport::operator+(request.header, request.body);
    }
};

// Round trips per second of a fresh fleet of the same terminals against the
// plain server, over a window as long as the library's.
double plainThroughput(const Options& options, const std::vector<std::string>& identifiers,
                       const testsupport::Bytes& request)
{
    PlainHostServer server(request);
    TerminalFleet fleet(BenchTransaction::terminalReply);
    const int terminals = static_cast<int>(identifiers.size());
    if (!fleet.connect(server.port(), identifiers)
        || !waitUntil([&] { return server.announced() >= terminals; }, std::chrono::seconds(30)))
        return 0;
    const uint64_t before = server.replies();
    const auto windowStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    const double replies = static_cast<double>(server.replies() - before);
    const double seconds = static_cast<double>(nanosecondsSince(windowStart)) / 1e9;
    server.stopRequests();
    fleet.stop();
    return replies / seconds;
}

void comparePlain(const Options& options, const Host& host, const Figures& figures, RequestSample& sample)
{
    std::lock_guard<std::mutex> lock(sample.mutex);
    if (sample.bytes.empty())
        return;
    const double plain = plainThroughput(options, host.identifiers, sample.bytes);
    const double library = static_cast<double>(figures.resultsInWindow) / figures.windowSeconds;
    std::printf("  plain loopback server, same fleet and request bytes: %.0f round trips/s; library/plain: %.3f\n",
                plain, plain > 0 ? library / plain : 0.0);
}

bool withholdAddressSpace(int64_t mebibytes)
{
    if (mebibytes <= 0)
        return true;
    const size_t bytes = static_cast<size_t>(mebibytes) * 1024 * 1024;
    return ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0) != MAP_FAILED;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchArguments arguments(argc, argv);
    if (!arguments.selects("E2eScale"))
        return 0;
    const Options options{static_cast<int>(arguments.number("terminals", 500)),
                          static_cast<int>(arguments.number("seconds", 10)),
                          static_cast<int>(arguments.number("senders", 4)),
                          arguments.number("stop-under-load", 0) != 0,
                          arguments.number("terminals-answer", 1) != 0,
                          arguments.number("hang-up", 0) != 0};
    if (!withholdAddressSpace(arguments.number("withhold-mib", 0))) {
        std::printf("E2eScale: cannot withhold the address space asked for\n");
        return 1;
    }
    // Per terminal: both ends of its connection, the library's duplicate of
    // its end for sending and the wake-up descriptor of each of the library's
    // three event loops for it. The library takes connections only within
    // three quarters of the limit, and only while 32 descriptors stay free.
    const int64_t terminals = options.terminals;
    const int64_t filesNeeded = std::max((5 * terminals * 4 + 2) / 3, 6 * terminals + 64 + 32);
    const int64_t fileLimit = ProcessFigures::raiseOpenFileLimit(filesNeeded + 192);
    if (fileLimit < filesNeeded) {
        std::printf("E2eScale: open-file limit %lld is too low for %d terminals\n", static_cast<long long>(fileLimit),
                    options.terminals);
        return 1;
    }

    Host host;
    host.identifiers = terminalIdentifiers(options.terminals);
    host.records.resize(static_cast<size_t>(options.terminals));
    Figures figures;
    figures.threadsBefore = ProcessFigures::threadCount();
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    void* service = zuva_start_tcpip_service(port, ignore, ignore, onConnected, onDisconnected, ignore, ignore, &host);
    figures.threadsServiceUp = ProcessFigures::threadCount();
    RequestSample sample;
    TerminalFleet fleet([&options, &sample](const testsupport::SimMessage& request, const std::string& identifier) {
        if (!options.terminalsAnswer)
            return testsupport::Bytes();
        testsupport::Bytes reply = BenchTransaction::terminalReply(request, identifier);
        if (!reply.empty())
            sample.keep(request);
        return reply;
    });
    figures.rssBefore = ProcessFigures::residentKilobytes();
    figures.mappedBefore = ProcessFigures::mappedKilobytes();
    if (!connectAtOnce(fleet, port, host, figures)) {
        std::printf("E2eScale: only %d of %d terminals reported connected within 30 s; %llu connections closed by "
                    "the library, %d disconnect callbacks\n",
                    host.connected.load(), options.terminals, count(fleet.connectionsClosedByLibrary()),
                    host.disconnected.load());
        return 1;
    }
    figures.rssConnected = ProcessFigures::residentKilobytes();
    figures.mappedConnected = ProcessFigures::mappedKilobytes();
    figures.threadsConnected = ProcessFigures::threadCount();
    figures.connectionCheckMicroseconds = connectionCheckMicroseconds();

    const BenchTransaction transaction = options.terminalsAnswer
                                             ? BenchTransaction::choose(host.identifiers.front())
                                             : BenchTransaction(BenchTransaction::Kind::Sale);
    host.request = transaction.request();
    std::printf("E2eScale: %d terminals on one TCP/IP service, transaction %s%s, back to back for %d s, "
                "%d host sender threads; machine load %s\n",
                options.terminals, transaction.name(),
                transaction.kind() == BenchTransaction::Kind::Sale ? "" : " (the sale does not succeed yet)",
                options.seconds, options.senders, ProcessFigures::machineLoad().c_str());
    runLoad(host, options, service, fleet, figures);
    Tally results = tally(host);
    printFigures(options, figures, results, host, fleet);
    if (service)
        zuva_stop_service(service);
    fleet.stop();
    if (!options.stopUnderLoad && !options.hangUp)
        comparePlain(options, host, figures, sample);
    const bool sound = results.lost == 0 && results.doubled == 0 && results.misrouted == 0;
    std::printf("  %s\n", sound ? "every transaction got exactly one result" : "FAULT: results lost or doubled");
    if (!figures.disconnectionsReported)
        std::printf("  FAULT: disconnections not reported within 60 s\n");
    return sound && figures.disconnectionsReported ? 0 : 2;
}
