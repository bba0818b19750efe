// A host that keeps its service object in a static, as a long-lived
// application object does, and returns from main: the object goes after the
// library's own statics. Exits 0; the sanitizers must report nothing, nor
// the host itself (lines starting "host:").
// Usage: client_exiting_host [terminal] [pending] [cleanup] [late-lock]
// [exit [host-thread]] [exit-in-WHERE] [locked [stop]] [stream [sleep-in-result]]
// [waiting-stop] [own-qt] [cleanup-in-connected] [stop-in-WHERE]
// [other-stopped] [qt-gone [stop-first] [late-send] [held-release] [delivering]] [qt-after]: with an announced
// terminal still connected; with a request to it still unanswered; with
// ect::cleanup before the end; with main holding, at the end, a lock that
// every disconnected report waits for; calling exit instead of returning, from
// main or from a host thread; calling exit inside the callback WHERE (result,
// connected, disconnected); with main holding a lock that a result callback
// waits for at the end, after a second terminal's disconnected report has
// begun to wait for the lock too and that result callback has stopped the
// service; with host threads selling on ten more terminals throughout, which
// must go on selling after every static of the program has been destroyed
// (unless the exit ended their connections), with the result callback
// sleeping past the exit's wait; with a stop that a result callback queued
// behind a disconnected report still waiting when the exit comes (with
// exit-in-disconnected, that report calls exit); with a Qt application of
// the host's own, made before the first call of the library and gone with
// main (after ect::cleanup: with terminals still connected its exit cannot
// end them, and its exit takes less than the exit's limit); with ect::cleanup
// called inside the connected callback, which
// the header forbids; with the service stopped inside the host code WHERE
// (started, connected, disconnected, notification, result, a delivery
// question, free: the release of what a result callback holds), told once,
// after that code has returned, with no terminal dialling in afterwards;
// with a second service that a host thread has stopped before the end; with
// the host's application deleted, then ect::cleanup or the service object let
// go, after a stop of the service with stop-first (with stream, while the
// terminals sell: that ending returns well within the exit's limit, and the
// library's threads then take no more CPU time; with late-send, a callback
// under way sends once it has gone; with held-release, the release thread is held until it has gone,
// with a connection's ending behind; with delivering, library threads are
// held inside Qt's delivery of their events as it begins); with the host's application made after the library's first call, and
// ect::cleanup inside its event loop; [free-thread] thousands of information
// requests one after the other, with every thread on one CPU beside a
// spinning one: each result closure goes after its result, never inside send.
#include "client/ServiceInformationTransaction.h"
#include "client/ZUVAService.h"
#include "client/transactions/SaleTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"
#include "engine/service/oxazuva.h"
#include "foundation/ProcessExit.h"
#include "foundation/SharedQtLibrary.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"
#include "support/ExitTimeDestructors.h"
#include "support/ExitingHostSanitizers.h"
#include "support/OneBusyCore.h"
#include "support/ProcessThreads.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

bool asked(int argc, char** argv, const char* word)
{
    for (int index = 1; index < argc; ++index)
        if (std::strcmp(argv[index], word) == 0)
            return true;
    return false;
}

// Nothing the library may still call is ever destroyed: in the rows with
// "stream" it runs on after the program's statics are gone.
const char* exitIn = "";
bool sleepInResult = false;
bool lateLock = false;
// Held by main from the moment it asks for a result until the process ends.
std::mutex hostLock;
std::atomic<int> waitingForLock{0};
// Main has done with the terminals and waits for the exit.
std::atomic<bool> mainIdle{false};

bool exitsIn(const char* where)
{
    return std::strcmp(exitIn, where) == 0;
}

// A call that should have returned has not: the process ends here, since
// its exit would wait for that call too.
[[noreturn]] void failNow(const char* what)
{
    std::printf("host: %s\n", what);
    std::fflush(stdout);
    std::_Exit(1);
}

// "cleanup-in-WHERE": ect::cleanup inside the callback WHERE.
const char* cleanupIn = "";
std::atomic<bool> cleanedUp{false};

void cleanUpIfIn(const char* where)
{
    if (std::strcmp(cleanupIn, where) != 0 || cleanedUp)
        return;
    ect::cleanup();
    cleanedUp = true;
}

// A stop is told only once the service's reports have returned.
std::atomic<int> reportsUnderWay{0};

// "stop-in-WHERE": the host code WHERE stops the service, once.
const char* stopIn = "";
std::atomic<bool> stopAsked{false};
std::atomic<bool> stoppingCodeReturned{false};

bool stopsIn(const char* where)
{
    return std::strcmp(stopIn, where) == 0;
}

struct StopIfIn {
    explicit StopIfIn(const char* where);
    ~StopIfIn()
    {
        if (stops)
            stoppingCodeReturned = true;
    }
    const bool stops;
};

// A report that calls exit goes no further.
void exitIfIn(const char* where, bool fromReport = false)
{
    if (!exitsIn(where) || !testsupport::waitUntil([] { return mainIdle.load(); }))
        return;
    if (fromReport)
        --reportsUnderWay;
    std::exit(0);
}

std::atomic<bool> sleeping{false};

// "waiting-stop": the second terminal's disconnected report holds the release
// thread, with the stop queued behind it, until the exit has begun.
bool waitingStop = false;
std::atomic<bool> holdingReleaseThread{false};
std::atomic<bool> exitBegun{false};

// A stop left waiting behind a callback: the exit leaves threads running,
// and the Qt application with them.
bool applicationMustStay = false;

void waitForHostLock()
{
    ++waitingForLock;
    const std::lock_guard<std::mutex> lock(hostLock);
}

// "late-send": a notification callback under way as the host deletes its
// application sends a request once it has gone, which lets go of the
// connection on the release thread.
bool lateSend = false;
std::atomic<bool> applicationGone{false};
enum class LateSend { None, Waiting, Sent };
std::atomic<LateSend> lateSendState{LateSend::None};
void sendOnceTheApplicationHasGone();
// "held-release": the second terminal's disconnected report holds the
// release thread until the application has gone; the first terminal's
// ending, queued behind it, then waits for threads that get no events.
bool heldRelease = false;
std::atomic<bool> releaseHeld{false};
// "delivering": as the host deletes its application, library threads are
// held between Qt's look at the application and its delivery of their events,
// by an event-notify callback of the host's (Qt calls it after the
// library's), until the deletion has begun.
bool holdDeliveries = false;
std::thread::id mainThread;
std::atomic<bool> deletionAhead{false};
std::atomic<bool> deletionBegun{false};
std::atomic<int> deliveriesHeld{0};

bool holdDeliveryAsTheApplicationGoes(void**)
{
    if (!deletionAhead || std::this_thread::get_id() == mainThread)
        return false;
    ++deliveriesHeld;
    testsupport::waitUntil([] { return deletionBegun.load(); });
    // Time for the deletion to go on to where the application has gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return false;
}

void holdDeliveriesAsTheApplicationGoes()
{
    // Added after the library's, so run before it.
    qAddPostRoutine([] { deletionBegun = true; });
    deletionAhead = true;
    if (!testsupport::waitUntil([] { return deliveriesHeld > 0; }))
        failNow("no library thread delivers an event as the application goes");
}

constexpr int StreamTerminals = 10;
bool streaming = false;
// The host deletes its Qt application before it ends.
bool qtGone = false;
std::atomic<int> approvedSales{0};
std::atomic<int> disconnectedReports{0};

class Listener : public ect::ZUVAServiceListener {
public:
    // After the service object has gone: by then its service has been stopped
    // once (a host that streams never lets go of its object, so only a stop
    // from a callback is reported), and the request it sent has had its one
    // result.
    void check()
    {
        if (waitingStop)
            giveTheReleaseThreadTimeToStopAgain();
        // A report still waiting for the lock at the exit's limit keeps the
        // stop from being told.
        const bool reportNeverReturns = lateLock || stopBehindLock;
        const bool keptRunning = streaming && !waitingStop && !qtGone;
        const int stopsExpected = keptRunning || reportNeverReturns ? 0 : 1;
        if (stopped != stopsExpected || results != requests)
            std::printf("host: service stopped %d times, %d results of %d requests\n", stopped.load(),
                        results.load(), requests);
        // The exit reported the terminal disconnected, and left that report waiting.
        if (lateLock && waitingForLock != 1)
            std::puts("host: no disconnected report waits for the lock");
        // The stop of the other service is over: the exit ended this one's terminal.
        if (otherStopped && disconnectedReports != 1)
            std::printf("host: %d disconnected reports after the other service's stop\n",
                        disconnectedReports.load());
    }

    // The release thread, let go by the exit's report, must not end and
    // report the stop again. Nothing marks its passing that the stop would
    // not race (ending the service runs the jobs queued behind it in place),
    // so it gets a while; a sound library passes whatever the while.
    void giveTheReleaseThreadTimeToStopAgain() const
    {
        const auto end = std::chrono::steady_clock::now() + testsupport::scaled(std::chrono::seconds(2));
        while (stopped < 2 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    void onServiceStarted() override
    {
        const StopIfIn stop("started");
        ++started;
    }
    void onServiceStopped() override
    {
        ++stopped;
        if (reportsUnderWay != 0)
            std::puts("host: the stop was told while a report of the service was under way");
        if (stopAsked && !stoppingCodeReturned)
            std::puts("host: the stop was told before the code that asked for it returned");
    }
    void onServiceError(ect::ECTError) override {}
    void onTerminalEvent(ect::ECTTerminalEvent) override
    {
        const UnderWay report;
        const StopIfIn stop("notification");
        if (lateSend)
            sendOnceTheApplicationHasGone();
    }
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal>) override
    {
        const UnderWay report;
        const StopIfIn stop("connected");
        connectedThread = testsupport::threadId();
        ++connected;
        exitIfIn("connected", true);
        cleanUpIfIn("connected");
    }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        const UnderWay report;
        const StopIfIn stop("disconnected");
        ++disconnectedReports;
        exitIfIn("disconnected", true);
        if (holdingReleaseThread && terminal->terminalId() == "TERM0002")
            holdUntilTheExitHasBegun();
        if (heldRelease && terminal->terminalId() == "TERM0002") {
            releaseHeld = true;
            testsupport::waitUntil([] { return applicationGone.load(); });
        }
        if (lockedOut && (lateLock || terminal->terminalId() == "TERM0002"))
            waitForHostLock();
    }

    struct UnderWay {
        UnderWay() { ++reportsUnderWay; }
        ~UnderWay() { --reportsUnderWay; }
    };

    // The exit finds the stop still queued, or the release thread takes it
    // as this returns; either way it is told once, after this returns.
    static void holdUntilTheExitHasBegun() { testsupport::waitUntil([] { return exitBegun.load(); }); }

    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> connected{0};
    // Where the last connected report ran.
    std::atomic<long> connectedThread{0};
    int requests = 0;
    std::atomic<int> results{0};
    std::atomic<bool> lockedOut{false};
    bool stopBehindLock = false;
    bool otherStopped = false;
};

// The listener of the other service: told of its stop only.
class OtherListener : public ect::ZUVAServiceListener {
public:
    void onServiceStarted() override {}
    void onServiceStopped() override { ++stopped; }
    void onServiceError(ect::ECTError) override {}
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal>) override {}
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal>) override {}

    std::atomic<int> stopped{0};
};

Listener& listener = *new Listener;
struct FinalCheck {
    ~FinalCheck() { listener.check(); }
} finalCheck;
// Empty until main fills it, so it is older than anything the library makes.
std::shared_ptr<ect::ZUVAService> service;
// With stream: a reference to the service kept to the process's end. Volatile:
// an optimizing build drops a store nothing reads, and LeakSanitizer then
// finds the object unreachable.
std::shared_ptr<ect::ZUVAService>* volatile keptForEver = nullptr;
uint16_t servicePort = 0;
testsupport::SimTerminal terminal;
testsupport::SimTerminal second;
std::atomic<bool> stopRequested{false};

StopIfIn::StopIfIn(const char* where) : stops(stopsIn(where) && !stopAsked.exchange(true))
{
    if (stops)
        service->stopService();
}

void onResult()
{
    const StopIfIn stop("result");
    ++listener.results;
    if (stopRequested) {
        service->stopService();
        stopRequested = false;
    }
    exitIfIn("result");
    // Past the time the exit waits for a callback.
    if (sleepInResult && !sleeping.exchange(true))
        std::this_thread::sleep_for(std::chrono::seconds(6));
    if (listener.lockedOut)
        waitForHostLock();
}

// The rows whose connected report waits for main, or cleans up.
bool connectedReportWaits()
{
    return exitsIn("connected") || std::strcmp(cleanupIn, "connected") == 0;
}

bool connect(testsupport::SimTerminal& sim, uint16_t port, const char* identifier)
{
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = identifier;
    const int before = listener.connected;
    return sim.connectTo(port) && sim.sendAdvice(advice)
        && testsupport::waitUntil([before] { return listener.connected == before + 1; })
        && (connectedReportWaits() || testsupport::waitUntilReturned(listener.connectedThread));
}

void answerInformation()
{
    terminal.on("Ci", [](const testsupport::SimMessage& request) {
        return testsupport::SimTerminal::answer(
            testsupport::SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", "10"));
    });
}

void sendRequest()
{
    ++listener.requests;
    service->getTerminal("TERM0001")->send(ect::ServiceInformationTransaction([](const auto&) { onResult(); }));
}

// The second terminal leaves; its disconnected report waits for the lock,
// holding the release thread, behind which the result stops the service.
bool stopBehindAWaitingReport(uint16_t port)
{
    if (!connect(second, port, "TERM0002"))
        return false;
    second.close();
    if (!testsupport::waitUntil([] { return waitingForLock == 1; }))
        return false;
    stopRequested = true;
    sendRequest();
    return testsupport::waitUntil([] { return !stopRequested && waitingForLock == 2; });
}

// A sale that failed because the exit ended its connection, or after that.
bool endedByTheExit(const ect::SaleResult& result)
{
    const auto cause = result.error()->causeCode();
    return exitBegun || cause == ect::ECTErrorCauseCode::NoConnectionWithTerminal
        || cause == ect::ECTErrorCauseCode::NetworkError;
}

// Sells until the exit has ended the connection; a sale that failed before
// (a loaded machine's time-out, say) is sold again.
void sellWithoutPause(std::shared_ptr<ect::ZUVATerminal> seller)
{
    for (;;) {
        std::promise<bool> ended;
        seller->send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"),
                                          [&ended](const ect::SaleResult& result) {
                                              const bool taken = !result.error();
                                              if (taken && ++approvedSales >= 2 * StreamTerminals
                                                  && exitsIn("sale") && mainIdle.exchange(false))
                                                  std::exit(0);
                                              ended.set_value(!taken && endedByTheExit(result));
                                          }));
        if (ended.get_future().get())
            return;
    }
}

// One more, idle, kept for a sale after every static has gone.
std::shared_ptr<ect::ZUVATerminal>& idleSeller()
{
    static auto* const seller = new std::shared_ptr<ect::ZUVATerminal>;
    return *seller;
}

std::vector<std::unique_ptr<testsupport::SimTerminal>>& streamingTerminals()
{
    static auto* const sims = new std::vector<std::unique_ptr<testsupport::SimTerminal>>;
    return *sims;
}

bool startStream(uint16_t port)
{
    for (int index = 0; index <= StreamTerminals; ++index) {
        const std::string identifier = "TERM10" + std::to_string(10 + index);
        testsupport::SimTerminal& sim = *streamingTerminals().emplace_back(std::make_unique<testsupport::SimTerminal>());
        testsupport::SimOperationReplies::answerAll(sim);
        testsupport::SimSaleReplies::script(sim, identifier);
        if (!connect(sim, port, identifier.c_str()))
            return false;
        if (index == StreamTerminals)
            idleSeller() = service->getTerminal(identifier);
        else
            std::thread(sellWithoutPause, service->getTerminal(identifier)).detach();
    }
    return testsupport::waitUntil([] { return approvedSales >= StreamTerminals; });
}

// "own-qt": an exit that meets no application of the host's ends nothing,
// and one that does ends its threads, well within the exit's limit. One that
// waits out that limit is past it here whatever the machine's speed: the
// limit runs from the library's exit work, which begins after exitBeganAt.
bool ownQt = false;
std::atomic<std::int64_t> exitBeganAt{0};

// Runs after every static of the program has been destroyed, the library's
// among them: the sales go on meanwhile, unless the exit has ended them (or
// the host has stopped its service).
void awaitSalesAfterTheStatics()
{
    const std::int64_t exitTook = testsupport::steadyMs() - exitBeganAt;
    if (ownQt && exitBegun && exitTook >= 5000)
        std::printf("host: the exit took %lld ms\n", static_cast<long long>(exitTook));
    // No idle seller: the terminals never sold, as main has said.
    if (!streaming || waitingStop || disconnectedReports >= StreamTerminals || !idleSeller())
        return;
    // Left to the process's end, the connections take no more requests: a
    // sale is refused at once, 2/12, whatever its terminal's threads would do.
    const auto refused = std::make_shared<std::promise<bool>>();
    idleSeller()->send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"),
                                            [refused](const ect::SaleResult& result) {
                                                const auto error = result.error();
                                                refused->set_value(
                                                    error
                                                    && error->causeCode()
                                                        == ect::ECTErrorCauseCode::NoConnectionWithTerminal);
                                            }));
    std::future<bool> answer = refused->get_future();
    const auto answered = [&answer] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    if (!testsupport::waitUntil(answered) || !answer.get())
        std::printf("host: a sale after the exit was not refused at once, 2/12 (%d terminals reported disconnected)\n",
                    disconnectedReports.load());
}

// Before any other static is built, so that it runs after they are destroyed.
__attribute__((constructor(101))) void registerLastAtExit()
{
    std::atexit(awaitSalesAfterTheStatics);
}

// A result callback stops the service behind the second terminal's
// disconnected report, which holds the release thread.
bool stopWaitingForTheReleaseThread(uint16_t port)
{
    answerInformation();
    holdingReleaseThread = true;
    if (!connect(second, port, "TERM0002"))
        return false;
    const int before = disconnectedReports;
    second.close();
    if (!testsupport::waitUntil([before] { return disconnectedReports == before + 1; }))
        return false;
    stopRequested = true;
    sendRequest();
    return testsupport::waitUntil([] { return !stopRequested; });
}

// The delivery question stops the service: the sale has its result before
// the stop is told.
void sendWithQuestion()
{
    testsupport::SimSaleReplies::script(terminal, "TERM0001");
    ++listener.requests;
    service->getTerminal("TERM0001")->send(ect::SaleWithDeliveryConfirmationTransaction(
        ect::Amount("12.50"), [](const ect::SaleResult&) { ++listener.results; },
        [](const ect::SaleResult&) {
            const StopIfIn stop("question");
            return ProductDeliveryAccepted;
        }));
}

void sendOnceTheApplicationHasGone()
{
    lateSendState = LateSend::Waiting;
    if (!testsupport::waitUntil([] { return applicationGone.load(); }))
        return;
    service->getTerminal("TERM0001")->send(ect::ServiceInformationTransaction([](const auto&) {}));
    lateSendState = LateSend::Sent;
}

// Stops the service as the library lets go of the result callback holding it.
struct StopWhenFreed {
    ~StopWhenFreed() { const StopIfIn stop("free"); }
};

// Makes the host code of "stop-in-WHERE" run.
void askForTheStop()
{
    if (stopsIn("disconnected")) {
        terminal.close();
    } else if (stopsIn("notification")) {
        service->getTerminal("TERM0001")->enableNotifications(true);
        terminal.sendSynchronizationAdvice("02");
    } else if (stopsIn("result")) {
        answerInformation();
        sendRequest();
    } else if (stopsIn("free")) {
        answerInformation();
        ++listener.requests;
        service->getTerminal("TERM0001")->send(ect::ServiceInformationTransaction(
            [freed = std::make_shared<StopWhenFreed>()](const auto&) { ++listener.results; }));
    } else if (stopsIn("question")) {
        sendWithQuestion();
    }
}

// The stop is told once the code that asked for it has returned, and the
// port takes no terminal any more.
void stopInside(uint16_t port)
{
    askForTheStop();
    if (!testsupport::waitUntil(
            [] { return stoppingCodeReturned && listener.stopped == 1 && listener.results == listener.requests; }))
        failNow("the stop inside the host code was not told");
    const int dialled = testsupport::SimTerminal::loopbackConnection(port);
    if (dialled >= 0) {
        ::close(dialled);
        failNow("a terminal dials in after the stop");
    }
}

// A host thread stops a second service, on a port of its own, to the end.
void stopAnotherService()
{
    static auto& other = *new OtherListener;
    const std::shared_ptr<ect::ZUVAService> another =
        ect::makeTcpIpZUVAService(testsupport::SimTerminal::freeLoopbackPort(), other);
    another->startService();
    std::thread([another] { another->stopService(); }).join();
    if (other.stopped != 1)
        failNow("the other service's stop was not told");
    listener.otherStopped = true;
}

// "free-thread": a sequential host whose result closure tells where it goes.
constexpr int FreeThreadSends = 5000;
thread_local bool sendingHere = false;
std::atomic<int> closuresGoneInsideTheSend{0};
std::atomic<int> closuresGoneBeforeTheResult{0};

struct ClosureWatch {
    ClosureWatch(std::atomic<bool>& resulted, std::promise<void>& gone) : resulted(resulted), gone(gone) {}
    ClosureWatch(const ClosureWatch&) = delete;
    ClosureWatch& operator=(const ClosureWatch&) = delete;
    std::atomic<bool>& resulted;
    std::promise<void>& gone;
    ~ClosureWatch()
    {
        closuresGoneInsideTheSend += sendingHere;
        closuresGoneBeforeTheResult += !resulted;
        gone.set_value();
    }
};

void sendAndAwaitTheClosuresEnd(ect::ZUVATerminal& terminal)
{
    std::atomic<bool> resulted{false};
    std::promise<void> gone;
    ++listener.requests;
    sendingHere = true;
    terminal.send(ect::ServiceInformationTransaction(
        [watch = std::make_shared<ClosureWatch>(resulted, gone)](const auto&) {
            watch->resulted = true;
            ++listener.results;
        }));
    sendingHere = false;
    if (gone.get_future().wait_for(testsupport::waitDeadline(std::chrono::milliseconds(20000)))
        != std::future_status::ready)
        failNow("a result closure was never let go");
}

void checkWhereTheClosuresGo()
{
    answerInformation();
    const std::shared_ptr<ect::ZUVATerminal> sending = service->getTerminal("TERM0001");
    const int sends = testsupport::repeatOnOneBusyCore(FreeThreadSends, [&sending] {
        sendAndAwaitTheClosuresEnd(*sending);
        return true;
    });
    if (closuresGoneInsideTheSend != 0 || closuresGoneBeforeTheResult != 0)
        std::printf("host: of %d result closures %d went inside the send, %d before the result\n", sends,
                    closuresGoneInsideTheSend.load(), closuresGoneBeforeTheResult.load());
}

// Runs the host's step on main, which must return from it in time.
void within(const char* what, const std::function<void()>& step)
{
    const auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([done, what] {
        if (!testsupport::waitUntil([done] { return done->load(); }))
            failNow(what);
    }).detach();
    step();
    *done = true;
}

std::atomic<int> hostWarnings{0};

// The host's own, in place before the library's first call: the library
// passes its warnings on to it.
void countWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        ++hostWarnings;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// The library's threads have taken no CPU time over many looks in a row:
// those whose connections are left neither read nor spin any more.
bool libraryThreadsIdle()
{
    static long lastTicks = -1;
    static int unchangedLooks = 0;
    const long ticks = testsupport::cpuTicksOfThreadsNotNamed(testsupport::threadEntry(testsupport::threadId(), "comm"));
    unchangedLooks = ticks == lastTicks ? unchangedLooks + 1 : 0;
    lastTicks = ticks;
    return unchangedLooks >= 50;
}

// As the library lists it: the client's own list keeps a terminal until its
// disconnected report.
bool listedConnected(const char* identifier)
{
    char* const terminals = zuva_getConnectedTerminals();
    const bool listed = terminals && std::strstr(terminals, identifier);
    zuva_free(terminals);
    return listed;
}

void holdTheReleaseThreadWithAnEndingBehind()
{
    if (!connect(second, servicePort, "TERM0002"))
        failNow("the second terminal was not reported connected");
    second.close();
    if (!testsupport::waitUntil([] { return releaseHeld.load(); }))
        failNow("no disconnected report holds the release thread");
    terminal.close();
    if (!testsupport::waitUntil([] { return !listedConnected("TERM0001"); }))
        failNow("the first terminal's connection did not end");
}

// The host deletes its application while two services run, then cleans up
// or lets go of its service object (one declared before the application in
// main): neither can end anything by then, nor waits for it. What is left
// is said once.
void endWithoutQt(std::unique_ptr<QCoreApplication>& application, bool cleanUp, bool stopFirst)
{
    static auto& other = *new OtherListener;
    static auto& another = *new std::shared_ptr<ect::ZUVAService>(
        ect::makeTcpIpZUVAService(testsupport::SimTerminal::freeLoopbackPort(), other));
    another->startService();
    if (lateSend) {
        service->getTerminal("TERM0001")->enableNotifications(true);
        terminal.sendSynchronizationAdvice("02");
        if (!testsupport::waitUntil([] { return lateSendState == LateSend::Waiting; }))
            failNow("no notification callback under way");
    }
    if (heldRelease)
        holdTheReleaseThreadWithAnEndingBehind();
    if (holdDeliveries)
        holdDeliveriesAsTheApplicationGoes();
    const std::int64_t deletionBegan = testsupport::steadyMs();
    application.reset();
    applicationGone = true;
    // The deletion waits only for the events let through: those held above
    // are soon delivered, and an idle thread delivers none. One that waited
    // out its whole second for a thread wrongly counted shows; a loaded
    // machine stays well below.
    const std::int64_t deletionTook = testsupport::steadyMs() - deletionBegan;
    if (holdDeliveries && deletionTook >= testsupport::scaled(std::chrono::milliseconds(900)).count())
        std::printf("host: deleting the application took %lld ms\n", static_cast<long long>(deletionTook));
    if (lateSend && !testsupport::waitUntil([] { return lateSendState == LateSend::Sent && reportsUnderWay == 0; }))
        failNow("the notification callback did not send once the application had gone");
    const std::int64_t endBegan = testsupport::steadyMs();
    if (stopFirst)
        within("the stop without the Qt application did not return", [] { service->stopService(); });
    if (cleanUp)
        within("the clean-up without the Qt application did not return", [] { ect::cleanup(); });
    else
        within("letting go of the service without the Qt application did not return", [] { service.reset(); });
    // Nothing is held up: no wait of the ending comes near the exit's limit.
    const std::int64_t endTook = testsupport::steadyMs() - endBegan;
    if (streaming && endTook >= testsupport::scaled(vorsam::ProcessExit::Limit).count())
        std::printf("host: ending without the Qt application took %lld ms\n", static_cast<long long>(endTook));
    if (hostWarnings != 1)
        std::printf("host: %d warnings of what was left\n", hostWarnings.load());
    if (!testsupport::waitUntil(libraryThreadsIdle))
        std::puts("host: the library's threads left to the process's end still take CPU time");
    // Left, not ended: by the time the threads are idle, a close would show.
    const auto& sims = streamingTerminals();
    if (std::any_of(sims.begin(), sims.end(), [](const auto& sim) { return sim->peerClosed(); }))
        std::puts("host: a connection left to the process's end was closed");
}

// The clean-up inside the event loop of the application the host made after
// the library's first call: that loop goes on.
void cleanUpInTheLoop(QCoreApplication& application)
{
    QTimer::singleShot(0, &application, [&application] {
        ect::cleanup();
        if (QCoreApplication::instance() != &application)
            failNow("the clean-up took the host's Qt application");
        QTimer::singleShot(0, &application, [] { QCoreApplication::quit(); });
    });
    within("the host's event loop did not go on after the clean-up", [&application] { application.exec(); });
}

int end(int argc, char** argv)
{
    if (asked(argc, argv, "host-thread"))
        std::thread([] { std::exit(0); }).join();
    if (asked(argc, argv, "exit"))
        std::exit(0);
    return 0;
}

int runLocked(int argc, char** argv, uint16_t port)
{
    answerInformation();
    hostLock.lock();
    listener.lockedOut = true;
    listener.stopBehindLock = asked(argc, argv, "stop");
    if (listener.stopBehindLock) {
        if (!stopBehindAWaitingReport(port)) {
            std::puts("host: the service was not stopped behind a waiting report");
            return 1;
        }
    } else {
        sendRequest();
        if (!testsupport::waitUntil([] { return waitingForLock == 1; })) {
            std::puts("host: no result waits for the lock");
            return 1;
        }
    }
    return end(argc, argv);
}

} // namespace

// The host's hook takes the place of the library's: called right before the
// library deletes its Qt application.
namespace vorsam {
void cleanupQtApp(std::unique_ptr<QCoreApplication>&)
{
    if (applicationMustStay)
        std::puts("host: the exit deleted the Qt application under the threads it left running");
}
} // namespace vorsam

int main(int argc, char** argv)
{
    // Before the first call of the library, as a Qt host makes it.
    std::unique_ptr<QCoreApplication> application;
    if (asked(argc, argv, "qt-gone"))
        qInstallMessageHandler(countWarnings);
    ownQt = asked(argc, argv, "own-qt");
    mainThread = std::this_thread::get_id();
    // Before any library thread runs: Qt's table of these callbacks is not
    // safe to add to while threads deliver events.
    if (asked(argc, argv, "delivering"))
        QInternal::registerCallback(QInternal::EventNotifyCallback, holdDeliveryAsTheApplicationGoes);
    if (ownQt)
        application = std::make_unique<QCoreApplication>(argc, argv);
    for (int index = 1; index < argc; ++index) {
        if (std::strncmp(argv[index], "exit-in-", 8) == 0)
            exitIn = argv[index] + 8;
        if (std::strncmp(argv[index], "cleanup-in-", 11) == 0)
            cleanupIn = argv[index] + 11;
        if (std::strncmp(argv[index], "stop-in-", 8) == 0)
            stopIn = argv[index] + 8;
    }
    sleepInResult = asked(argc, argv, "sleep-in-result");
    waitingStop = asked(argc, argv, "waiting-stop");
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    servicePort = port;
    service = ect::makeTcpIpZUVAService(port, listener);
    // After the library's first call, which has made an application of its own.
    if (asked(argc, argv, "qt-after"))
        application = std::make_unique<QCoreApplication>(argc, argv);
    service->startService();
    if (listener.started != 1) {
        std::puts("host: service did not start");
        return 1;
    }
    streaming = asked(argc, argv, "stream");
    qtGone = asked(argc, argv, "qt-gone");
    lateSend = asked(argc, argv, "late-send");
    heldRelease = asked(argc, argv, "held-release");
    holdDeliveries = asked(argc, argv, "delivering");
    if (streaming && !qtGone) {
        keptForEver = new std::shared_ptr<ect::ZUVAService>(service);
    }
    const bool withTerminal = asked(argc, argv, "terminal") || asked(argc, argv, "locked") || *exitIn || streaming
        || *cleanupIn || (*stopIn && !stopsIn("started")) || asked(argc, argv, "free-thread");
    if (withTerminal && !connect(terminal, port, "TERM0001")) {
        std::puts("host: terminal not reported connected");
        return 1;
    }
    if (*cleanupIn && !testsupport::waitUntil([] { return cleanedUp.load(); }))
        failNow("the clean-up inside a callback did not return");
    if (*cleanupIn && !testsupport::waitUntil([] { return listener.stopped == 1; }))
        failNow("the clean-up inside a callback did not stop the service");
    if (*stopIn)
        stopInside(port);
    if (asked(argc, argv, "free-thread"))
        checkWhereTheClosuresGo();
    if (asked(argc, argv, "other-stopped"))
        stopAnotherService();
    // A report that never returns, or that calls exit, leaves threads to the
    // exit; one that returns as the exit begins may let the exit end them all.
    applicationMustStay = asked(argc, argv, "stop") || (waitingStop && *exitIn);
    if (asked(argc, argv, "locked"))
        return runLocked(argc, argv, port);
    if (streaming && !startStream(port)) {
        std::puts("host: the terminals do not sell");
        return 1;
    }
    // Registered after the library's exit work, so it runs first.
    std::atexit([] {
        exitBeganAt = testsupport::steadyMs();
        exitBegun = true;
    });
    if (waitingStop && !stopWaitingForTheReleaseThread(port)) {
        std::puts("host: no stop waits for the release thread");
        return 1;
    }
    if (exitsIn("result") || sleepInResult) {
        answerInformation();
        sendRequest();
    } else if (exitsIn("disconnected")) {
        terminal.close();
    }
    if (sleepInResult && !testsupport::waitUntil([] { return sleeping.load(); })) {
        std::puts("host: no callback sleeps");
        return 1;
    }
    // The callback ends the process.
    mainIdle = true;
    while (*exitIn)
        pause();
    if (asked(argc, argv, "pending")) {
        listener.requests = 1;
        service->getTerminal("TERM0001")->send(
            ect::ServiceInformationTransaction([](const auto&) { ++listener.results; }));
        if (!terminal.waitForRequests(1)) {
            std::puts("host: request not sent");
            return 1;
        }
    }
    if (qtGone)
        endWithoutQt(application, asked(argc, argv, "cleanup"), asked(argc, argv, "stop-first"));
    else if (asked(argc, argv, "qt-after"))
        cleanUpInTheLoop(*application);
    else if (asked(argc, argv, "cleanup"))
        ect::cleanup();
    if (asked(argc, argv, "late-lock")) {
        // Main takes its lock and exits; only the exit's own reports wait for it.
        lateLock = true;
        hostLock.lock();
        listener.lockedOut = true;
    }
    return end(argc, argv);
}
