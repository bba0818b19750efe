#include "ServiceFixture.h"
#include "engine/service/ServiceReports.h"
#include "support/ProcessThreads.h"
#include "support/RefusedThreadStarts.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

// A host that stops its service from inside the first callback of a kind.
struct StoppingHost {
    void* handle = nullptr;
    std::atomic<int> stopped{0};
    std::atomic<int> connected{0};
    std::atomic<int> disconnected{0};

    static void stopNow(const char*, void* data)
    {
        auto* host = static_cast<StoppingHost*>(data);
        host->disconnected++;
        zuva_stopService(host->handle);
    }
    static void countStop(const char*, void* data) { static_cast<StoppingHost*>(data)->stopped++; }
    static void countConnected(const char*, void* data) { static_cast<StoppingHost*>(data)->connected++; }
};

// A host that asks for a terminal's connection as soon as it is told the
// terminal is connected.
struct DescribingHost {
    std::mutex mutex;
    std::map<QString, QJsonObject> connections;

    static void describe(const char* json, void* data)
    {
        auto* host = static_cast<DescribingHost*>(data);
        const QString terminalId = QJsonDocument::fromJson(QByteArray(json))
                                       .object()
                                       .value("terminal")
                                       .toObject()
                                       .value("terminalIdentifier")
                                       .toString();
        const QJsonObject connection =
            takeObject(zuva_getConnectionDescription(terminalId.toUtf8().constData())).value("terminalConnection").toObject();
        std::lock_guard<std::mutex> lock(host->mutex);
        host->connections[terminalId] = connection;
    }
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return connections.size();
    }
};

} // namespace

// Terminals that are already calling when the service starts, as after a
// restart of the cash register, are described from their connected report on.
// They redial without pause, so that some announce themselves the very moment
// the service listens.
TEST(ServiceLifecycle, TerminalsCallingWhileTheServiceStartsAreDescribedWhenReportedConnected)
{
    useSettings(1500);
    constexpr size_t Terminals = 8;
    const int rounds = std::getenv("ZUVA_TEST_SLOW") ? 10 : 40;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        DescribingHost host;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        std::vector<std::unique_ptr<SimTerminal>> terminals;
        for (size_t terminal = 0; terminal < Terminals; ++terminal)
            terminals.push_back(std::make_unique<SimTerminal>());
        std::vector<std::thread> calling;
        for (size_t terminal = 0; terminal < Terminals; ++terminal) {
            calling.emplace_back([&terminals, terminal, port] {
                SimTerminal& sim = *terminals[terminal];
                const auto end = std::chrono::steady_clock::now() + scaled(std::chrono::milliseconds(5000));
                while (!sim.connectTo(port))
                    if (std::chrono::steady_clock::now() > end)
                        return;
                SimAdvice advice;
                advice.terminalIdentifier = "CALLER" + std::to_string(terminal);
                sim.sendAdvice(advice);
            });
        }
        void* const service = zuva_createTcpIpService(port, nullptr, nullptr, &DescribingHost::describe, nullptr,
                                                      nullptr, nullptr, &host);
        for (auto& caller : calling)
            caller.join();
        ASSERT_NE(service, nullptr);
        EXPECT_TRUE(waitUntil([&] { return host.count() == Terminals; }));
        for (size_t terminal = 0; terminal < Terminals; ++terminal) {
            const QString terminalId = QString("CALLER%1").arg(terminal);
            std::lock_guard<std::mutex> lock(host.mutex);
            EXPECT_EQ(host.connections[terminalId].value("port").toInt(), terminals[terminal]->localPort())
                << terminalId.toStdString();
        }
        zuva_stopService(service);
    }
}

// The disconnected report of a terminal that hangs up, and of one that
// announces another identifier on its connection.
TEST(ServiceLifecycle, StoppingFromInsideACallbackDoesNotHang)
{
    for (const bool hangsUp : {true, false}) {
        SCOPED_TRACE(hangsUp ? "hangs up" : "another identifier");
        StoppingHost host;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        host.handle = zuva_createTcpIpService(port, nullptr, &StoppingHost::countStop, &StoppingHost::countConnected,
                                              &StoppingHost::stopNow, nullptr, nullptr, &host);
        ASSERT_NE(host.handle, nullptr);
        // Stopped before host goes, also when an assertion ends the test early.
        const std::unique_ptr<void, int (*)(void*)> service(host.handle, &zuva_stopService);
        SimTerminal terminal;
        ASSERT_TRUE(terminal.connectTo(port));
        SimAdvice advice;
        advice.terminalIdentifier = "STOPPER1";
        terminal.sendAdvice(advice);
        ASSERT_TRUE(waitUntil([] { return zuva_isTerminalConnected("STOPPER1") == 0; }));
        advice.terminalIdentifier = "STOPPER9";
        if (hangsUp)
            terminal.close();
        else
            terminal.sendAdvice(advice);
        EXPECT_TRUE(waitUntil([&] { return host.stopped == 1; }));
        // The new identifier may be reported before the stop ends: then it is
        // reported gone too.
        EXPECT_GE(host.disconnected, 1);
        EXPECT_EQ(host.disconnected, host.connected);
    }
}

namespace {

// The host's reports on the test's terminals ("TERM..."), in the order made:
// "connected <id>", "disconnected <id>". Another test process's terminals may
// still dial the port it had, which the system can give this test.
std::vector<std::string> terminalReports(const HostRecorder& host)
{
    std::vector<std::pair<int, std::string>> reports;
    for (const std::string kind : {"connected", "disconnected"}) {
        const std::vector<QJsonObject> documents = host.documents(kind);
        for (size_t n = 0; n < documents.size(); ++n) {
            const QString identifier = documents[n].value("terminal").toObject().value("terminalIdentifier").toString();
            if (identifier.startsWith("TERM"))
                reports.emplace_back(host.position(kind, n), kind + " " + identifier.toStdString());
        }
    }
    std::sort(reports.begin(), reports.end());
    std::vector<std::string> ordered;
    for (const auto& report : reports)
        ordered.push_back(report.second);
    return ordered;
}

} // namespace

// A terminal that announces itself again on its connection under another
// identifier is reported gone under the one it had, before it is reported
// connected under the new one; under the same identifier it is reported
// connected again; under one another connection has, both are closed and
// only the old identifiers are reported gone, also when the two swap
// identifiers at once: neither is reported under its new one.
TEST(ServiceLifecycle, AnAdviceUnderAnotherIdentifierReportsTheOneItReplacesGoneFirst)
{
    const struct {
        std::string other; // announced first on a connection of its own
        std::string again;
        size_t beforeClose; // reports made before the terminals hang up
        std::vector<std::string> listed;
        std::vector<std::string> reports;
        std::string otherAgain = ""; // announced on the other connection at the same time
        size_t unorderedFrom = SIZE_MAX; // the reports from there on come in either order
        int rounds = 1;
    } rows[] = {
        {"", "TERM0009", 3, {"TERM0009"},
         {"connected TERM0001", "disconnected TERM0001", "connected TERM0009", "disconnected TERM0009"}},
        {"", "TERM0001", 2, {"TERM0001"}, {"connected TERM0001", "connected TERM0001", "disconnected TERM0001"}},
        {"TERM0002", "TERM0002", 4, {},
         {"connected TERM0002", "connected TERM0001", "disconnected TERM0001", "disconnected TERM0002"}},
        {"TERM0002", "TERM0002", 4, {},
         {"connected TERM0002", "connected TERM0001", "disconnected TERM0001", "disconnected TERM0002"}, "TERM0001", 2,
         10},
    };
    for (const auto& row : rows) {
        for (int round = 0; round < row.rounds && !HasFailure(); ++round) {
            SCOPED_TRACE(row.again + " " + row.otherAgain);
            useSettings(1500);
            HostRecorder host;
            const uint16_t port = SimTerminal::freeLoopbackPort();
            ASSERT_NE(host.start(port), nullptr);
            const auto other = row.other.empty() ? nullptr : announcedTerminal(host, port, row.other, 0);
            const auto terminal = announcedTerminal(host, port, "TERM0001", other ? 1 : 0);
            SimAdvice advice;
            advice.terminalIdentifier = row.again;
            std::thread swapping;
            if (!row.otherAgain.empty())
                swapping = std::thread([&row, &other] {
                    SimAdvice swapped;
                    swapped.terminalIdentifier = row.otherAgain;
                    other->sendAdvice(swapped);
                });
            terminal->sendAdvice(advice);
            if (swapping.joinable())
                swapping.join();
            EXPECT_TRUE(waitUntil([&] { return terminalReports(host).size() >= row.beforeClose; }));
            std::vector<std::string> listed;
            for (const auto& entry : takeObject(zuva_getConnectedTerminals()).value("terminals").toArray()) {
                const QString identifier = entry.toObject().value("terminalIdentifier").toString();
                if (identifier.startsWith("TERM"))
                    listed.push_back(identifier.toStdString());
            }
            EXPECT_EQ(listed, row.listed);
            terminal->close();
            EXPECT_TRUE(waitUntil([&] { return terminalReports(host).size() >= row.reports.size(); }));
            // Every report made by the time the stop is told.
            host.stop();
            std::vector<std::string> reports = terminalReports(host);
            if (reports.size() > row.unorderedFrom)
                std::sort(reports.begin() + static_cast<std::ptrdiff_t>(row.unorderedFrom), reports.end());
            EXPECT_EQ(reports, row.reports);
        }
    }
}

namespace {

// A terminal that answers every information request, and the host that asks
// it again at each result: its replies stream in until the service stops.
// A reply slower than the time-out (under load) fails its request, and the
// stream goes on all the same.
struct StreamingTerminal {
    explicit StreamingTerminal(std::string terminalIdentifier)
        : identifier(std::move(terminalIdentifier))
    {
        // Each answer comes behind a burst of events, so reading takes a while.
        Bytes burst;
        for (int event = 0; event < 20; ++event) {
            const Bytes advice = SimTerminal::synchronizationAdviceMessage("01");
            burst.insert(burst.end(), advice.begin(), advice.end());
        }
        terminal.on("Ci", [this, burst](const SimMessage& request) {
            return SimTerminal::Reply{{burst, SimTerminal::informationReplyTo(request, identifier, "SIM-1", "10")}};
        });
    }

    int ask()
    {
        ++asked;
        zuva_reply_function reply = nullptr;
        void* replyHandle = nullptr;
        return zuva_sendTransaction(identifier.c_str(), informationRequest().c_str(), &StreamingTerminal::onResult,
                                    this, &reply, &replyHandle, nullptr);
    }

    static void onResult(const char* json, void* data)
    {
        auto* self = static_cast<StreamingTerminal*>(data);
        ++self->results;
        // The stream ends with the connection: lost (the service stops) or refused.
        const auto codes = errorCodes(QJsonDocument::fromJson(QByteArray(json)).object());
        if (codes != NetworkError && codes != std::make_pair(2, 15))
            self->ask();
    }

    const std::string identifier;
    SimTerminal terminal;
    std::atomic<int> asked{0};
    std::atomic<int> results{0};
};

const int StreamingTerminals = 20;

} // namespace

// Replies are read on each socket's own thread: a service stopped meanwhile
// must neither leave a socket's thread waiting for itself nor its
// connection open.
TEST(ServiceLifecycle, StoppingWhileTerminalsStreamRepliesClosesEveryConnectionAndEndsEveryThread)
{
    useSettings(1500);
    // The release thread outlives the services; every other thread ends with them.
    const auto threadsButTheReleaseThread = [] { return int(threadNames().size()) - threadsNamed("ReleaseThread"); };
    const int threadsBefore = threadsButTheReleaseThread();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        // The terminals outlive the service, whose callbacks they take.
        std::vector<std::unique_ptr<StreamingTerminal>> terminals;
        HostRecorder host;
        const uint16_t port = SimTerminal::freeLoopbackPort();
        ASSERT_NE(host.start(port), nullptr);
        for (int i = 0; i < StreamingTerminals; ++i) {
            terminals.push_back(std::make_unique<StreamingTerminal>("STREAM" + std::to_string(i)));
            ASSERT_TRUE(terminals.back()->terminal.connectTo(port));
            SimAdvice advice;
            advice.terminalIdentifier = terminals.back()->identifier;
            terminals.back()->terminal.sendAdvice(advice);
        }
        ASSERT_TRUE(host.waitFor("connected", StreamingTerminals));
        for (const auto& terminal : terminals)
            ASSERT_EQ(terminal->ask(), 0);
        // Each stream has gone round, at most two time-outs long however slow the replies.
        ASSERT_TRUE(waitUntil([&] {
            return std::all_of(terminals.begin(), terminals.end(), [](const auto& each) { return each->results > 1; });
        }));
        host.stop();
        ASSERT_TRUE(waitUntil([&] {
            return std::all_of(terminals.begin(), terminals.end(),
                               [](const auto& each) { return each->terminal.peerClosed(); });
        }));
        for (const auto& terminal : terminals)
            EXPECT_EQ(terminal->results, terminal->asked) << terminal->identifier;
        terminals.clear();
        ASSERT_TRUE(waitUntil([&] { return threadsButTheReleaseThread() <= threadsBefore; }))
            << threadsButTheReleaseThread() << " threads, " << threadsBefore << " before";
    }
}

// Reports of one service on several threads meet its stop: the stop returns
// only once every report under way has returned, and none begins after it.
TEST(ServiceLifecycle, ReportsOnSeveralThreadsMeetTheStop)
{
    constexpr int Threads = 8;
    for (int round = 0; round < 10 && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        // Shared with the threads, which a stop that never returns leaves behind.
        struct Shared {
            oxa::ServiceReports reports;
            std::atomic<int> made{0};
            std::atomic<int> inside{0};
            std::atomic<int> afterTheStop{0};
            std::atomic<bool> stopped{false};
            std::atomic<bool> told{false};
        };
        const auto shared = std::make_shared<Shared>();
        { const oxa::ServiceReports::Start start{shared->reports}; }
        std::vector<std::thread> reporting;
        for (int thread = 0; thread < Threads; ++thread)
            reporting.emplace_back([shared] {
                while (!shared->stopped)
                    shared->reports.report([&] {
                        ++shared->inside;
                        ++shared->made;
                        if (shared->told)
                            ++shared->afterTheStop;
                        --shared->inside;
                    });
            });
        ASSERT_TRUE(waitUntil([&] { return shared->made >= 2000 * Threads; }));
        std::thread stopping([shared] {
            shared->reports.close([shared] { shared->told = true; });
        });
        const bool returned = waitUntil([&] { return shared->told.load(); });
        EXPECT_TRUE(returned) << "the stop did not return";
        EXPECT_EQ(shared->inside, 0);
        shared->stopped = true;
        for (auto& thread : reporting)
            thread.join();
        if (returned)
            stopping.join();
        else
            stopping.detach();
        EXPECT_EQ(shared->afterTheStop, 0);
    }
}

// A stop made while the start is under way (from its started callback, or
// by the release thread for it) waits for nothing and is told as the start
// ends, once, however often the service is closed (the exit may close what
// the release thread closes); a start that failed is never told stopped.
TEST(ServiceLifecycle, AStopDuringTheStartIsToldAsItEnds)
{
    for (const bool startFails : {false, true}) {
        SCOPED_TRACE(startFails ? "the start fails" : "the start succeeds");
        oxa::ServiceReports reports;
        std::atomic<int> told{0};
        const auto tell = [&told] { ++told; };
        std::atomic<bool> stopReturned{false};
        std::thread stopping;
        {
            oxa::ServiceReports::Start start{reports};
            stopping = std::thread([&] {
                reports.close(tell);
                stopReturned = true;
            });
            EXPECT_TRUE(waitUntil([&] { return stopReturned.load(); }, std::chrono::milliseconds(5000)))
                << "the stop waited for the start";
            EXPECT_EQ(told, 0);
            if (startFails)
                start.failed();
        }
        stopping.join();
        EXPECT_EQ(told, startFails ? 0 : 1);
        reports.close(tell);
        EXPECT_EQ(told, startFails ? 0 : 1) << "a stop is told once";
    }
}

// The exit may close a service the release thread is closing: the stop is
// told by the first, and the second returns only once it has been told.
TEST(ServiceLifecycle, ASecondCloseReturnsOnceTheFirstHasToldTheStop)
{
    oxa::ServiceReports reports;
    std::atomic<bool> telling{false};
    std::atomic<bool> letGo{false};
    std::atomic<bool> secondReturned{false};
    std::atomic<int> toldBySecond{0};
    std::thread first([&] {
        reports.close([&] {
            telling = true;
            waitUntil([&] { return letGo.load(); });
        });
    });
    ASSERT_TRUE(waitUntil([&] { return telling.load(); }));
    std::thread second([&] {
        reports.close([&] { ++toldBySecond; });
        secondReturned = true;
    });
    EXPECT_TRUE(holdsThroughout([&] { return !secondReturned.load(); }, std::chrono::milliseconds(100)));
    letGo = true;
    first.join();
    second.join();
    EXPECT_EQ(toldBySecond, 0);
}

// With no thread to be had, whoever awaits the release thread's jobs runs
// them in place, as a service's stop does; a later post starts a thread.
TEST(ServiceLifecycle, WithNoThreadToBeHadTheJobsAwaitedRunInPlace)
{
    // The library's Qt application, without which no event loop runs.
    ASSERT_EQ(zuva_isTerminalConnected("NOBODY"), -1);
    oxa::ReleaseThread release;
    std::atomic<std::thread::id> ranOn{std::thread::id()};
    std::atomic<bool> awaited{false};
    std::thread waiter([&] {
        const RefusedThreadStarts refused;
        release.post([&] { ranOn = std::this_thread::get_id(); });
        release.await([&] { return ranOn.load() != std::thread::id(); });
        awaited = true;
    });
    const std::thread::id waiterId = waiter.get_id();
    EXPECT_TRUE(waitUntil([&] { return awaited.load(); })) << "the wait did not return";
    // Lets a waiter left waiting go: here a thread can be had.
    std::atomic<std::thread::id> later{std::thread::id()};
    release.post([&] { later = std::this_thread::get_id(); });
    waiter.join();
    EXPECT_EQ(ranOn.load(), waiterId);
    ASSERT_TRUE(waitUntil([&] { return later.load() != std::thread::id(); }));
    EXPECT_NE(later.load(), std::this_thread::get_id());
}

using Redial = ServiceFixture;

// A terminal that hangs up and dials again at once is reported disconnected
// before it is reported connected again; a call that comes too early is
// dropped, and the terminal dials again.
TEST_F(Redial, TheOldConnectionIsReportedGoneBeforeTheNewOneIsReported)
{
    const std::string terminalId = "REDIAL01";
    auto terminal = connectTerminal(terminalId);
    const size_t rounds = std::getenv("ZUVA_TEST_SLOW") ? 10 : 40;
    for (size_t round = 1; round <= rounds && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        terminal->close();
        ASSERT_TRUE(waitUntil([&] {
            terminal = std::make_unique<SimTerminal>();
            if (!terminal->connectTo(port))
                return false;
            SimAdvice advice;
            advice.terminalIdentifier = terminalId;
            terminal->sendAdvice(advice);
            return waitUntil([&] { return host.count("connected") > round || terminal->peerClosed(); })
                && !terminal->peerClosed();
        }));
        ASSERT_TRUE(host.waitFor("disconnected", round));
        EXPECT_LT(host.position("disconnected", round - 1), host.position("connected", round));
    }
}
