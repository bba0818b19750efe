// A host written from the library's C interface alone that ends while the
// library's threads run. Exits 0; the sanitizers and GLib must report
// nothing, nor the host itself (lines starting "host:").
// Usage: service_exiting_host [dial-in [held-report] [exit]] [journal]
// [free-locked] [free-exit] [stop-in-result] [exit-in-stop]
// [fork [stream] [exec] [lives-on]] [after-cleanup] [stop-beside]: with a host thread connecting a new
// terminal every 2 ms, each announcing itself, through the exit and after
// every static is gone, with the first connected report waiting until the
// host's exit work has ended, calling exit instead of returning; with exit
// work of the host's own (an atexit handler from the start of main that saves
// a journal for 300 ms); with main holding, as it calls exit, the lock that a
// transaction's free function waits for; with that free function calling exit
// itself; with a result callback that stops the service while a second
// terminal's disconnected report, lasting 300 ms into the exit, is still to
// write into the service's user data, which the stopped callback frees; with a
// second host thread calling exit while main is inside zuva_stopService (its
// stopped callback waits for the host's exit work); forking, between two sales
// of five terminals, a child that calls exit as after a failed exec, or that
// execs a program that finds none of the library's descriptors among those it
// inherits, then starting a new service on the port; calling
// zuva_createTcpIpService after zuva_cleanup; main calling exit as a host
// thread begins to stop the service while five terminals sell; [child-uses]
// with fork: the child, as a daemon or a worker would, sells to the parent's
// terminal, asks for it, starts a service of its own, stops and cleans up,
// all refused; [lives-on] with fork: the child, a helper that makes no
// library call, lives on while the parent stops its services, starts them
// again on the same port and serial line, and sells; [signal-exit] a SIGTERM handler calling exit while main is
// inside zuva_sendTransaction, writing, with exit work that stops and cleans up; [cleanup-beside] main cleaning up
// while a host thread is inside a stop; [serial-return] returning from main
// right after starting eight serial services; [first-start] calling exit as
// a host thread makes the process's first start; [no-loopback] all
// of it with loopback down; [started-first] a terminal dialling in while the
// started callback still runs (and [cleanup-during-start] main cleaning up
// meanwhile, as a host thread makes that start, its callback staying inside
// until the clean-up has begun). Each start leaves main's signal mask as it
// was, and the reports run with SIGTERM blocked. [grandchild] with fork
// child-uses: the child forks again and the grandchild does the child's
// part; [start-stop] eight host threads starting and stopping services, then
// a clean-up; [calls-in-stopped] library calls from the stopped callback,
// served; [start-at-exit] a start from the exit's disconnected report,
// refused; [late-report] a second service, the exit's first disconnected
// report lasting until the exit has left the rest: no report follows;
// [locked-start] exit while a host thread's started callback waits for a
// lock main holds; [cleanup-in-started] a clean-up inside the started
// callback of a host thread's start, told stopped once that callback has
// returned (with exit: the clean-up once the library's exit work has run;
// with exit-in-started: the callback then calls exit, and the stop is told); [logged] with the certification log on
// and the sales recorded as made in backup mode; [chain-exit] six terminals
// answering requests that their result callbacks chain, one calling exit
// while another's is under way and a third's returns as the exit leaves the
// rest, with exit work of the host's own from the start of main that lasts a
// second ([stream]: with no callback held); [log-held] with logged: a
// child forked while a certification log line is being written execs at
// once, and the program it runs holds no library descriptor; [asks-at-exit]
// exit work of the host's, after the library's, asking about the terminal;
// [ending-at-exit] exit while the release thread ends a service stopped from
// a result callback: the exit tells the stop; [exit-in-stopped] the stopped
// callback of a stop made in a result callback calls exit: no wait;
// [warned] the server's thread warns the host of a connection it closed at
// once for lack of descriptors, before the exit; [warned-stop] the host's own
// message handler stops the service at the warning of a late approval, on a
// library thread: the stop returns at once and is told; [warned-exit] it
// calls exit there: no wait; [calls-in-warning] a warning given inside main's
// own library call, whose handler's library calls are served.
// The set-up leaves main's signal mask as it was, and the exit's disconnected
// reports come on a thread other than the one that exits; [send-at-exit]
// with logged: main returns while a result callback's send is held in a
// certification log write: the exit waits for that call; [stop-at-exit] a
// connected report under way as main returns, let go by exit work of the
// host's that then stops the service: the stop is told at once; [free-thread] thousands of
// information requests one after the other, with every thread on one CPU
// beside a spinning one: each accepted request's free function runs after its
// result, never inside the send. With logged: [slow-save] every fsync takes
// 300 ms, as on an SD card under load, and the folder holds closed files;
// [lister] a host thread lists the recovery files without pause through the
// exit, main exiting once it has listed files; [recovery-at-exit] exit work
// of the host's, registered before the first call, lists them: refused.
// Every approved sale is on disk at the process's end.
#include "engine/service/oxazuva.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"
#include "support/ExitTimeDestructors.h"
#include "support/ExitingHostSanitizers.h"
#include "support/LoweredLimits.h"
#include "support/OneBusyCore.h"
#include "support/ProcessThreads.h"
#include "support/Wait.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using testsupport::SimTerminal;
using testsupport::waitUntil;

namespace {

struct Row {
    bool dialIn, heldReport, journal, exit, freeLocked, freeExit, stopInResult, exitInStop, fork, stream, exec,
        afterCleanup, stopBeside, childUses, signalExit, cleanupBeside, serialReturn, firstStart, noLoopback,
        startedFirst, cleanupDuringStart, livesOn, logged, grandchild, startStop, callsInStopped, startAtExit,
        lateReport, lockedStart, cleanupInStarted, chainExit, freeThread, stopAtExit, sendAtExit, exitInStarted, endingAtExit, exitInStopped, warned,
        warnedStop, warnedExit, callsInWarning, slowSave, lister, recoveryAtExit;
} row;

// The service's user data, freed by the stopped callback.
struct ServiceData {
    int reportsWritten = 0;
};

const char* const InformationRequest = R"({"transaction": {"action": "InformationService"}})";
const char* const SaleRequest = R"({"transaction": {"action": "Sale", "amount": "12.50"}})";

// Nothing the library may still call is ever destroyed.
void* service = nullptr;
std::atomic<int> connectedReports{0};
// Where the last connected report ran.
std::atomic<long> connectedThread{0};
std::atomic<int> disconnectedReports{0};
std::atomic<int> reportsUnderWay{0};
std::atomic<int> stops{0};
// TCP services started; each is stopped before the next starts.
std::atomic<int> services{0};
std::atomic<int> errors{0};
std::atomic<bool> journalStarted{false};
std::atomic<bool> journalSaved{false};
// Set by an exit handler registered after the library's, so it runs first.
std::atomic<bool> exitBegun{false};
// The thread that exits, once it has.
std::atomic<long> exitingThread{0};
std::atomic<bool> reportHeld{false};
std::atomic<int> stopsRequested{0};
std::atomic<int> dials{0};
std::mutex hostLock;
std::set<void*>& transactions = *new std::set<void*>;
std::atomic<int> waitingForLock{0};

// A simulated terminal that plays on through the exit, kept reachable.
SimTerminal& newTerminal()
{
    static auto& terminals = *new std::vector<SimTerminal*>;
    return *terminals.emplace_back(new SimTerminal);
}

bool asked(int argc, char** argv, const char* word)
{
    for (int index = 1; index < argc; ++index)
        if (std::strcmp(argv[index], word) == 0)
            return true;
    return false;
}

void readRow(int argc, char** argv)
{
    const auto is = [argc, argv](const char* word) { return asked(argc, argv, word); };
    row = Row{is("dial-in"),        is("held-report"),  is("journal"), is("exit"),   is("free-locked"),
              is("free-exit"),      is("stop-in-result"), is("exit-in-stop"), is("fork"), is("stream"),
              is("exec"),           is("after-cleanup"), is("stop-beside"), is("child-uses"),
              is("signal-exit"),    is("cleanup-beside"), is("serial-return"), is("first-start"),
              is("no-loopback"),    is("started-first"), is("cleanup-during-start"), is("lives-on"),
              is("logged"),         is("grandchild"),     is("start-stop"),   is("calls-in-stopped"),
              is("start-at-exit"),  is("late-report"),    is("locked-start"), is("cleanup-in-started"),
              is("chain-exit"),     is("free-thread"),    is("stop-at-exit"),
              is("send-at-exit"),   is("exit-in-started"), is("ending-at-exit"), is("exit-in-stopped"), is("warned"),
              is("warned-stop"),    is("warned-exit"),    is("calls-in-warning"), is("slow-save"),
              is("lister"),         is("recovery-at-exit")};
}

struct ReportScope {
    ReportScope() { ++reportsUnderWay; }
    ~ReportScope() { --reportsUnderWay; }
};

// The checks of the rows below, made from the callbacks.
void onError(const char*, void*);
void* startService(uint16_t port);
uint16_t listeningPort = 0;

bool blockedHere(int signal)
{
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return ::sigismember(&mask, signal) == 1;
}

bool sigtermBlocked()
{
    return blockedHere(SIGTERM);
}

// The signals the host's handlers take on main.
bool terminationBlocked()
{
    return blockedHere(SIGTERM) || blockedHere(SIGINT);
}

// A report meets no handler of the host's: one may call exit.
void checkTheReportsMask()
{
    if (!sigtermBlocked())
        std::puts("host: a report runs with SIGTERM open to the host's handler");
}

// [calls-in-stopped]: the stopped callback, inside zuva_stopService on a
// host thread, is host code outside that call: its own calls are served.
std::atomic<bool> calledInStopped{false};

void callTheLibraryInStopped()
{
    if (!row.callsInStopped || calledInStopped.exchange(true))
        return;
    char* const settings = zuva_getSettings();
    char* const terminals = zuva_getConnectedTerminals();
    if (!settings || !terminals)
        std::puts("host: a call from the stopped callback was refused");
    zuva_free(settings);
    zuva_free(terminals);
    void* const other = zuva_createTcpIpService(SimTerminal::freeLoopbackPort(), nullptr, nullptr, nullptr, nullptr,
                                                &onError, nullptr, nullptr);
    if (!other || errors != 0)
        std::puts("host: a start from the stopped callback was refused");
    zuva_stopService(other);
}

// [start-at-exit]: the exit's disconnected report starts a service.
std::atomic<bool> startedAtExit{false};

void startFromTheExit()
{
    if (!row.startAtExit || !exitBegun || startedAtExit.exchange(true))
        return;
    const int before = errors;
    if (startService(SimTerminal::freeLoopbackPort()) || errors != before + 1)
        std::puts("host: a service started during the exit");
}

// [late-report]: the exit's first disconnected report returns only once the
// exit has left the rest to the process's end, noted by exit work of the
// host's that runs after the library's; the thread it ran on then ends.
std::atomic<bool> restLeft{false};
std::atomic<bool> endingThreadGone{false};

struct EndingThread {
    ~EndingThread() { endingThreadGone = true; }
};

void noteTheRestLeft()
{
    restLeft = true;
}

void holdTheExitsFirstReport(int nth)
{
    if (!row.lateReport)
        return;
    if (restLeft)
        std::puts("host: a terminal reported disconnected after the exit's limit");
    if (nth != 1)
        return;
    thread_local EndingThread endingThread;
    (void)endingThread;
    waitUntil([] { return restLeft.load(); });
}

// [locked-start]: a host thread's started callback waits for main's lock.
std::atomic<bool> lockedStartAsked{false};
std::atomic<bool> startWaitsForMain{false};

// [cleanup-during-start]: the started callback stays until a start on its
// own port is refused as after the clean-up, which has then begun, and a
// while more: a stop that the clean-up does not wait for comes meanwhile. A
// sound library passes whatever the while.
std::atomic<bool> stopReported{false};
std::atomic<bool> refusedAsCleanedUp{false};

void stayUntilTheCleanUpHasBegun()
{
    if (!waitUntil([] {
            startService(listeningPort);
            return refusedAsCleanedUp.load();
        }))
        std::puts("host: the clean-up did not begin");
    const auto end = std::chrono::steady_clock::now() + testsupport::scaled(std::chrono::seconds(1));
    while (!stopReported && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// [cleanup-in-started exit]: the clean-up inside the started callback comes
// once the library's exit work has run, noted by exit work of the host's.
std::atomic<bool> libraryExitWorkRan{false};
// [exit-in-started]: the started callback, having cleaned up, calls exit: it
// never returns, and the stop is told at exit.
std::atomic<bool> startedExits{false};

void holdTheStartIfAsked()
{
    if (row.cleanupDuringStart)
        stayUntilTheCleanUpHasBegun();
    if (lockedStartAsked.exchange(false)) {
        startWaitsForMain = true;
        const std::lock_guard<std::mutex> lock(hostLock);
    }
    if (row.cleanupInStarted) {
        if (row.exit)
            waitUntil([] { return libraryExitWorkRan.load(); });
        zuva_cleanup();
        // Time for the stop to be told, which must wait until this returns.
        testsupport::holdsThroughout([] { return !stopReported.load(); }, std::chrono::milliseconds(300));
        if (row.exitInStarted) {
            startedExits = true;
            std::exit(0);
        }
    }
}

std::atomic<bool> cleanupCalled{false};
std::atomic<bool> startedReturned{false};
std::atomic<bool> inStarted{false};

// Frees the user data, as the header allows.
void onStopped(const char*, void* userData)
{
    if (reportsUnderWay > 0)
        std::puts("host: stopped while a report runs");
    if (!startedReturned && !startedExits)
        std::puts("host: stopped before the started callback returned");
    stopReported = true;
    callTheLibraryInStopped();
    // Main stays inside the stop through the exit's work.
    if (row.exitInStop)
        waitUntil([] { return journalSaved.load(); });
    ++stops;
    delete static_cast<ServiceData*>(userData);
    if (row.exitInStopped)
        std::exit(0);
}

// [stop-at-exit]: the connected report lasts until exit work of the host's,
// which runs after the library's, lets it go and then stops the service.
std::atomic<bool> reportLetGo{false};
std::atomic<bool> reportReturning{false};

void holdTheReportForTheStop()
{
    if (!row.stopAtExit)
        return;
    waitUntil([] { return reportLetGo.load(); });
    reportReturning = true;
}

void stopOnceTheReportReturned()
{
    reportLetGo = true;
    if (!waitUntil([] { return reportReturning.load(); }))
        std::puts("host: the connected report was not let go");
    const std::int64_t before = testsupport::steadyMs();
    zuva_stopService(service);
    const std::int64_t took = testsupport::steadyMs() - before;
    if (!stopReported)
        std::puts("host: the stop after the report returned was not told");
    if (took >= testsupport::scaled(std::chrono::milliseconds(2500)).count())
        std::printf("host: the stop after the report returned took %lld ms\n", static_cast<long long>(took));
}

void onConnected(const char*, void*)
{
    const ReportScope scope;
    checkTheReportsMask();
    if (!startedReturned)
        std::puts("host: a terminal reported connected before the started callback returned");
    connectedThread = testsupport::threadId();
    ++connectedReports;
    if (row.heldReport && !reportHeld.exchange(true))
        waitUntil([] { return journalSaved.load(); });
    holdTheReportForTheStop();
}

void onDisconnected(const char*, void* userData)
{
    const ReportScope scope;
    const int nth = ++disconnectedReports;
    if (stops == services)
        std::puts("host: a terminal reported disconnected after the stop");
    if (exitBegun && testsupport::threadId() == exitingThread)
        std::puts("host: a terminal reported disconnected on the thread that exits");
    startFromTheExit();
    holdTheExitsFirstReport(nth);
    if (row.cleanupBeside) {
        // Host work that lasts into the clean-up.
        waitUntil([] { return cleanupCalled.load(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    if (row.stopInResult && nth == 1) {
        // Host work that lasts into the exit, then writes down the report.
        waitUntil([] { return exitBegun.load(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ++static_cast<ServiceData*>(userData)->reportsWritten;
    }
}

void onError(const char* json, void*)
{
    ++errors;
    refusedAsCleanedUp = std::strstr(json, "zuva_cleanup") != nullptr;
}

// The user data stays the host's when the service does not start.
void onStarted(const char*, void*);

void* startService(uint16_t port)
{
    auto data = std::make_unique<ServiceData>();
    // Counted before: a clean-up on another thread may stop the service, and
    // its terminals be reported, before the start returns.
    ++services;
    void* const handle = zuva_createTcpIpService(port, &onStarted, &onStopped, &onConnected, &onDisconnected,
                                                 &onError, nullptr, data.get());
    if (handle)
        data.release();
    else
        --services;
    return handle;
}

// The host's exit work, after the library's exit guard: it was registered first.
void saveJournal()
{
    journalStarted = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    journalSaved = true;
    if (row.stopInResult && !waitUntil([] { return stops == 1 && reportsUnderWay == 0; }))
        std::printf("host: %d stops reported, %d reports under way\n", stops.load(), reportsUnderWay.load());
}

// Dials in without pause, each connection announcing a terminal of its own;
// the oldest of a few is closed for each new one.
void dialIn(uint16_t port)
{
    constexpr int Kept = 16;
    int connections[Kept];
    for (int& connection : connections)
        connection = -1;
    for (int index = 0;; index = (index + 1) % Kept) {
        if (connections[index] >= 0)
            ::close(connections[index]);
        // Once the exit has left the library's threads to the process's end
        // nothing accepts, and a full backlog would hold the dialling for good.
        connections[index] = SimTerminal::loopbackConnection(port, std::chrono::milliseconds(200));
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = "DIAL" + std::to_string(dials++);
        const testsupport::Bytes announcement = SimTerminal::adviceMessage(advice);
        if (connections[index] >= 0)
            ::send(connections[index], announcement.data(), announcement.size(), MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool forkedChild = false;

std::atomic<std::int64_t> exitBeganAt{0};

// Runs after every static of the program has been destroyed: the terminals
// dial in meanwhile. A forked child's leak check, which comes next, would see
// none of the parent's threads that hold what the library made, so the child
// ends before it.
void awaitDialsAfterTheStatics()
{
    if (forkedChild)
        ::_exit(0);
    // Nothing is waited for when the exit began inside a library call, a
    // free function or the stopped callback, nor for host code that waits:
    // below the second the exit gives a thread at work to be back, which it
    // would wait out for host code it took for work.
    const std::int64_t exitTook = testsupport::steadyMs() - exitBeganAt;
    if ((row.signalExit || row.freeLocked || row.freeExit || row.lockedStart || row.exitInStopped || row.warnedExit)
        && exitTook >= testsupport::scaled(std::chrono::milliseconds(1000)).count())
        std::printf("host: the exit took %lld ms\n", static_cast<long long>(exitTook));
    if (row.startAtExit && !startedAtExit)
        std::puts("host: the exit reported no terminal disconnected");
    if (row.lateReport && !waitUntil([] { return endingThreadGone.load(); }))
        std::puts("host: the exit's first disconnected report did not end its thread");
    const int before = dials;
    if (row.dialIn && !waitUntil([before] { return dials >= before + 20; }))
        std::puts("host: the terminals stopped dialling in");
}

// Registered after the library's exit work and before the first terminal
// connects, so it runs before that work and after the exit has destroyed
// what a later first connection made: terminals dial in meanwhile.
void markTheExitBegun()
{
    exitBeganAt = testsupport::steadyMs();
    exitingThread = testsupport::threadId();
    exitBegun = true;
    const int before = dials;
    if (row.dialIn && !waitUntil([before] { return dials >= before + 20; }))
        std::puts("host: the terminals stopped dialling in as the exit began");
}

int end()
{
    if (row.exit)
        std::exit(0);
    return 0;
}

int endWhileDialledIn(uint16_t port)
{
    std::thread(dialIn, port).detach();
    if (!waitUntil([] { return connectedReports >= (row.heldReport ? 1 : 20); })) {
        std::puts("host: no terminal dialled in");
        return 1;
    }
    return end();
}

int returnDuringAReport(uint16_t port)
{
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = "TERM0001";
    SimTerminal& terminal = newTerminal();
    if (!terminal.connectTo(port) || !terminal.sendAdvice(advice)
        || !waitUntil([] { return connectedReports == 1; })) {
        std::puts("host: the terminal was not reported connected");
        return 1;
    }
    return 0;
}

bool connectTerminal(SimTerminal& terminal, uint16_t port, const std::string& identifier)
{
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = identifier;
    const int before = connectedReports;
    return terminal.connectTo(port) && terminal.sendAdvice(advice)
        && waitUntil([before] { return connectedReports > before; }) && testsupport::waitUntilReturned(connectedThread);
}

void answerInformation(SimTerminal& terminal)
{
    terminal.on("Ci", [](const testsupport::SimMessage& request) {
        return SimTerminal::answer(SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", "10"));
    });
}

void dropFromTable(void* transaction)
{
    ++waitingForLock;
    const std::lock_guard<std::mutex> lock(hostLock);
    transactions.erase(transaction);
}

std::atomic<bool> mainIdle{false};

void exitOnceMainIsIdle(void*)
{
    if (waitUntil([] { return mainIdle.load(); }))
        std::exit(0);
}

int sendInformationRequest(zuva_callback result, void* userData, zuva_free_function freeFunction)
{
    return zuva_sendTransaction("TERM0001", InformationRequest, result, userData, nullptr, nullptr, freeFunction);
}

// Main holds the lock the free function waits for, and exits.
int exitHoldingTheLock()
{
    hostLock.lock();
    void* const transaction = &transactions;
    transactions.insert(transaction);
    if (sendInformationRequest(nullptr, transaction, &dropFromTable) != 0
        || !waitUntil([] { return waitingForLock == 1; })) {
        std::puts("host: no free function waits for the lock");
        return 1;
    }
    std::exit(0);
}

int exitFromTheFreeFunction()
{
    if (sendInformationRequest(nullptr, nullptr, &exitOnceMainIsIdle) != 0) {
        std::puts("host: the request was refused");
        return 1;
    }
    mainIdle = true;
    for (;;)
        ::pause();
}

// [ending-at-exit]: a result callback stops the service and stays until the
// library's exit work has run; main exits once the release thread ends the
// service (it no longer listens), which ending the terminal's connection
// holds there: the exit tells the stop.
void stopAndStayUntilTheExitWorkRan(const char*, void*)
{
    zuva_stopService(service);
    waitUntil([] { return libraryExitWorkRan.load(); });
}

void checkTheEndingStopWasTold()
{
    libraryExitWorkRan = true;
    if (!stopReported)
        std::puts("host: a stop that a library thread was ending at the exit was not told");
}

// Read off the kernel's tables of sockets: a probe that connected would be
// a terminal of its own to the service.
bool listensOn(uint16_t port)
{
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    bool listening = false;
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::FILE* const table = std::fopen(path, "r");
        if (!table)
            continue;
        // Each line: its number, the local address, the remote one, the
        // state (0A: listening).
        char line[512];
        char local[64];
        char state[8];
        while (!listening && std::fgets(line, sizeof line, table)) {
            const bool read = std::sscanf(line, "%*s %63s %*s %7s", local, state) == 2;
            const std::size_t length = read ? std::strlen(local) : 0;
            listening = read && std::strcmp(state, "0A") == 0 && length >= 5
                        && std::strcmp(local + length - 5, wanted) == 0;
        }
        std::fclose(table);
    }
    return listening;
}

int exitWhileAStopEnds(uint16_t port)
{
    if (!listensOn(port)) {
        std::puts("host: the service is not seen listening");
        return 1;
    }
    if (sendInformationRequest(&stopAndStayUntilTheExitWorkRan, nullptr, nullptr) != 0
        || !waitUntil([port] { return !listensOn(port); })) {
        std::puts("host: the stop from the result callback did not begin");
        return 1;
    }
    std::exit(0);
}

void stopFromResult(const char*, void*)
{
    zuva_stopService(service);
    ++stopsRequested;
}

// [exit-in-stopped]: the stopped callback of a stop made in a result
// callback calls exit, on the thread that tells it.
int exitFromTheStoppedCallback()
{
    if (sendInformationRequest(&stopFromResult, nullptr, nullptr) != 0) {
        std::puts("host: the request was refused");
        return 1;
    }
    for (;;)
        ::pause();
}

// [warned]: with the process's descriptors nearly all taken, a terminal's
// connection is closed at once, and the server's thread warns the host: the
// first warning after the set-up, written by Qt's own handler, after which
// the host counts it.
std::atomic<int> warnings{0};
QtMessageHandler qtsOwnHandler = nullptr;

void writeAndCount(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    qtsOwnHandler(type, context, message);
    ++warnings;
}

int exitAfterAWarning(uint16_t port)
{
    SimTerminal& second = newTerminal();
    {
        const testsupport::DescriptorsLeft left(1024, 3);
        if (!second.connectTo(port) || !waitUntil([] { return warnings > 0; })) {
            std::puts("host: no warning of a connection closed at once");
            return 1;
        }
    }
    std::exit(0);
}

// [warned-stop] [warned-exit]: the terminal approves each sale, then a sale
// of another register on it, which the library drops with a warning on the
// thread that reads the replies.
void approveTwice(SimTerminal& terminal)
{
    terminal.on("Cd", [](const testsupport::SimMessage& request) {
        testsupport::SimMessage elsewhere = request;
        elsewhere.sequence += 50;
        return SimTerminal::Reply{{testsupport::SimSaleReplies::saleReplyTo(request, "TERM0001"),
                                   testsupport::SimSaleReplies::saleReplyTo(elsewhere, "TERM0001")},
                                  false};
    });
}

bool sell(const std::string& identifier);

void stopInTheWarning()
{
    const std::int64_t before = testsupport::steadyMs();
    zuva_stopService(service);
    const std::int64_t took = testsupport::steadyMs() - before;
    if (took >= testsupport::scaled(std::chrono::milliseconds(500)).count())
        std::printf("host: the stop from the warning handler took %lld ms\n", static_cast<long long>(took));
}

// [calls-in-warning]: what the handler asks inside main's library call.
const long mainThread = testsupport::threadId();
std::atomic<bool> calledInWarning{false};
std::atomic<int> warnedResults{0};
char exportFolder[] = "/tmp/zuva-warned-XXXXXX";

void onWarnedResult(const char*, void*)
{
    ++warnedResults;
}

void callTheLibraryInTheWarning()
{
    char* const files = zuva_getRecoveryFiles(nullptr);
    if (!files)
        std::puts("host: the recovery files were not listed from the warning handler");
    zuva_free(files);
    if (zuva_extractRecoveryFiles(nullptr, exportFolder, 0) != 1)
        std::puts("host: the recovery files were not exported from the warning handler");
    if (sendInformationRequest(&onWarnedResult, nullptr, nullptr) != 0)
        std::puts("host: a request from the warning handler was refused");
    if (zuva_stopService(service) != 0)
        std::puts("host: a stop from the warning handler was refused");
}

std::atomic<bool> warnedOnALibraryThread{false};

void actOnWarning(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (row.callsInWarning && testsupport::threadId() == mainThread && !calledInWarning.exchange(true))
        callTheLibraryInTheWarning();
    if (!message.contains("dropped") || warnedOnALibraryThread.exchange(true))
        return;
    if (row.warnedStop)
        stopInTheWarning();
    if (row.warnedExit)
        std::exit(0);
}

int actOnALateApproval()
{
    if (!sell("TERM0001")) {
        std::puts("host: the sale was not approved");
        return 1;
    }
    if (row.warnedExit)
        for (;;)
            ::pause();
    // A stop that never returns holds the process: it ends here then.
    if (!waitUntil([] { return stopReported.load(); })) {
        std::puts("host: the stop from the warning handler was not told");
        std::fflush(stdout);
        std::_Exit(1);
    }
    return end();
}

// A target folder that is no name is warned of inside the call.
int callTheLibraryFromAWarning()
{
    if (!::mkdtemp(exportFolder)) {
        std::puts("host: no folder to export to");
        return 1;
    }
    zuva_extractRecoveryFiles(nullptr, "", 0);
    if (!calledInWarning)
        std::puts("host: no warning inside the export");
    // The request's result comes, whether before the stop or as it ends the connection.
    if (!waitUntil([] { return warnedResults == 1 && stopReported; }))
        std::puts("host: the request or the stop from the warning handler was not told");
    ::rmdir(exportFolder);
    return end();
}

// A second terminal hangs up; its disconnected report lasts into the exit,
// and a result stops the service meanwhile.
int returnWithAStopBehindAReport(uint16_t port)
{
    SimTerminal& second = newTerminal();
    if (!connectTerminal(second, port, "TERM0002")) {
        std::puts("host: the second terminal was not reported connected");
        return 1;
    }
    second.close();
    if (!waitUntil([] { return disconnectedReports == 1; })) {
        std::puts("host: the second terminal was not reported disconnected");
        return 1;
    }
    if (sendInformationRequest(&stopFromResult, nullptr, nullptr) != 0
        || !waitUntil([] { return stopsRequested == 1; })) {
        std::puts("host: no stop behind a disconnected report");
        return 1;
    }
    return 0;
}

// A second thread exits while main is inside the stop's report.
int exitDuringStop()
{
    std::thread([] {
        if (!waitUntil([] { return stopReported.load(); }))
            std::puts("host: the stop was not reported");
        std::exit(0);
    }).detach();
    zuva_stopService(service);
    for (;;)
        ::pause();
}

// [slow-save]: storage whose every sync takes 300 ms, once the terminals sell.
// A recovery file synced once the host's exit work from before the set-up
// has begun was written after Qt's statics went.
std::atomic<bool> storageSlowed{false};

bool isRecoveryFile(int descriptor)
{
    char link[64];
    char path[512] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    return ::readlink(link, path, sizeof path - 1) > 0 && std::strstr(path, "bmrecovery") != nullptr;
}

extern "C" int fsync(int descriptor)
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    if (journalStarted && isRecoveryFile(descriptor))
        std::puts("host: a recovery file was written after the library's exit work");
    if (storageSlowed)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return real(descriptor);
}

// With logged: each approved result is counted once the host has it, and the
// recovery files, read here without the library, hold that many records of
// sales when the process ends, or the 20 last when closed files over the
// limit were removed (those of an earlier version go first).
std::atomic<int> approvedResults{0};
const int KeptClosedFiles = 20;
const char* const EarlierRecord = "<logRecord>0102030405060708090A0B0C0D0E0F</logRecord>";

int recordsIn(const std::string& folder)
{
    int records = 0;
    DIR* const dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    // The 64-bit reading: on a 32-bit build the plain one fails on a
    // file system whose entry offsets do not fit 32 bits.
    while (const dirent64* const entry = ::readdir64(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0)
            continue;
        FILE* const file = std::fopen((folder + '/' + name).c_str(), "r");
        char line[512];
        while (file && std::fgets(line, sizeof line, file))
            records += std::strstr(line, "<logRecord") != nullptr && std::strstr(line, EarlierRecord) == nullptr;
        if (file)
            std::fclose(file);
    }
    ::closedir(dir);
    return records;
}

// Registered before the first call: it runs after the library's exit work.
void checkTheRecordsAtTheEnd()
{
    if (row.recoveryAtExit) {
        char* const files = zuva_getRecoveryFiles(nullptr);
        if (files)
            std::puts("host: a recovery listing from exit work made before the set-up was served");
        zuva_free(files);
    }
    const int approved = approvedResults;
    const int records = recordsIn("bmrecovery/opened") + recordsIn("bmrecovery/closed");
    if (records < std::min(approved, KeptClosedFiles))
        std::printf("host: %d backup-mode sales approved, %d on disk\n", approved, records);
}

// [lister], [slow-save]: a register that stayed in backup mode for 20 busy
// periods. Filled once the terminals sell, as every save reads it: on busy
// cores its first sales would take longer than the row may. Each file is put
// in place whole, as the library reads the folder meanwhile.
void fillTheClosedFolder()
{
    if ((::mkdir("bmrecovery", 0700) != 0 && errno != EEXIST)
        || (::mkdir("bmrecovery/closed", 0700) != 0 && errno != EEXIST))
        std::puts("host: no recovery folder");
    for (int file = 0; file < KeptClosedFiles; ++file) {
        const std::string path = "bmrecovery/closed/202403" + std::to_string(10 + file) + "090507-TIDTERM9000-ACQ0102.xml";
        const std::string written = path + ".part";
        FILE* const out = std::fopen(written.c_str(), "w");
        if (!out)
            return;
        std::fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RecoveryFile>\n"
                          "    <acquirerId>0102</acquirerId>\n    <terminalId>TERM9000</terminalId>\n"
                          "    <schemeId>0001</schemeId>\n    <batchId>%04d</batchId>\n"
                          "    <closingDate>2024-03-%02dT09:05:07</closingDate>\n"
                          "    <creationDate>2024-03-%02dT09:05:07</creationDate>\n",
                     file, 10 + file, 9 + file);
        for (int record = 0; record < 60; ++record)
            std::fprintf(out, "    <transaction%d>\n        <date>2024-03-%02dT09:05:07</date>\n        %s\n"
                              "        <merchantUserId>M1</merchantUserId>\n    </transaction%d>\n",
                         record, 9 + file, EarlierRecord, record);
        std::fputs("</RecoveryFile>\n", out);
        std::fclose(out);
        if (std::rename(written.c_str(), path.c_str()) != 0)
            std::puts("host: a closed file not put in place");
    }
}

// [lister]: a back-office export that lists without pause.
std::atomic<int> listings{0};

void listWithoutPause()
{
    for (;;) {
        char* const files = zuva_getRecoveryFiles(nullptr);
        listings += files && std::strstr(files, "terminalId") != nullptr;
        zuva_free(files);
    }
}

constexpr int StreamTerminals = 5;
std::atomic<int> approvedSales{0};
// The sellers pause between two sales while the host forks: no callback of
// the library's is then under way.
std::atomic<bool> salesPaused{false};
std::atomic<int> pausedSellers{0};

struct Sale {
    bool approved = false;
    std::promise<bool> released;
};

void onSaleResult(const char* json, void* sale)
{
    static_cast<Sale*>(sale)->approved = std::strstr(json, "\"error\"") == nullptr;
    approvedResults += static_cast<Sale*>(sale)->approved;
}

// The seller goes on once the library is done with the sale.
void releaseSale(void* data)
{
    const std::unique_ptr<Sale> sale(static_cast<Sale*>(data));
    approvedSales += sale->approved;
    sale->released.set_value(sale->approved);
}

void pauseIfAsked()
{
    if (!salesPaused)
        return;
    ++pausedSellers;
    waitUntil([] { return !salesPaused; });
    --pausedSellers;
}

bool sell(const std::string& identifier)
{
    auto* const sale = new Sale;
    std::future<bool> approved = sale->released.get_future();
    return zuva_sendTransaction(identifier.c_str(), SaleRequest, &onSaleResult, sale, nullptr, nullptr,
                                &releaseSale)
        == 0
        && approved.get();
}

// Sells until a sale fails, as it does once the service stops.
void sellWithoutPause(const std::string identifier)
{
    for (;;) {
        pauseIfAsked();
        if (!sell(identifier))
            return;
    }
}

bool connectSeller(uint16_t port, const std::string& identifier)
{
    SimTerminal& terminal = newTerminal();
    testsupport::SimOperationReplies::answerAll(terminal);
    testsupport::SimSaleReplies::script(terminal, identifier);
    if (row.logged)
        terminal.on("Cd", [identifier](const testsupport::SimMessage& request) {
            return SimTerminal::answer(testsupport::SimSaleReplies::saleReplyTo(request, identifier, true));
        });
    return connectTerminal(terminal, port, identifier);
}

bool startStream(uint16_t port)
{
    for (int index = 0; index < StreamTerminals; ++index) {
        const std::string identifier = "TERM200" + std::to_string(index);
        if (!connectSeller(port, identifier))
            return false;
        std::thread(sellWithoutPause, identifier).detach();
    }
    return waitUntil([] { return approvedSales >= 2 * StreamTerminals; });
}

pid_t forkBetweenSales()
{
    salesPaused = true;
    if (row.stream && !waitUntil([] { return pausedSellers == StreamTerminals; }))
        std::puts("host: the sellers did not pause");
    const pid_t child = ::fork();
    salesPaused = false;
    return child;
}

std::atomic<int> childResults{0};

void onChildResult(const char* json, void*)
{
    if (std::strstr(json, "\"causeCode\": 12") && std::strstr(json, "fork"))
        ++childResults;
}

// A daemon or a worker that goes on with the library its parent set up: every
// call is refused at once, and nothing reaches the parent's terminal.
void useTheLibraryInTheChild(uint16_t port)
{
    if (zuva_sendTransaction("TERM0001", InformationRequest, &onChildResult, nullptr, nullptr, nullptr, nullptr)
            != -1
        || childResults != 1)
        std::puts("host: a forked child's sale was not refused");
    if (zuva_isTerminalConnected("TERM0001") != -1 || zuva_resetTransaction("TERM0001") != -1)
        std::puts("host: a forked child sees the parent's terminal");
    if (zuva_getConnectedTerminals() != nullptr)
        std::puts("host: a forked child lists the parent's terminals");
    const int before = errors;
    if (startService(static_cast<uint16_t>(port + 1)) || errors != before + 1)
        std::puts("host: a forked child's service was not refused");
    if (zuva_stopService(service) != -1)
        std::puts("host: a forked child's stop was not refused");
    zuva_cleanup();
}

// A helper that lives on says it is up on this line, as a real one would
// long before the parent restarts, then waits until the parent closes its end.
int helperLine[2] = {-1, -1};

uint16_t localPort(int descriptor)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return address.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port) : 0;
}

// The parent's listening socket and its terminals' connections.
int socketsOnThePort(uint16_t port)
{
    int found = 0;
    DIR* const descriptors = ::opendir("/proc/self/fd");
    while (const dirent* entry = descriptors ? ::readdir(descriptors) : nullptr)
        found += entry->d_name[0] != '.' && localPort(std::atoi(entry->d_name)) == port;
    if (descriptors)
        ::closedir(descriptors);
    return found;
}

// The process's open descriptors beyond the standard three.
std::vector<int> openDescriptors()
{
    std::vector<int> open;
    DIR* const descriptors = ::opendir("/proc/self/fd");
    const int listing = descriptors ? ::dirfd(descriptors) : -1;
    while (const dirent* entry = descriptors ? ::readdir(descriptors) : nullptr) {
        const int descriptor = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && descriptor > STDERR_FILENO && descriptor != listing)
            open.push_back(descriptor);
    }
    if (descriptors)
        ::closedir(descriptors);
    return open;
}

// What the host itself inherited, which its children inherit too: not the
// library's.
std::vector<int>& inheritedByTheHost = *new std::vector<int>;

const char* const CertificationLog = "certification.log";

// [exec]: the program a forked child runs inherits no socket on the
// service's port, nor a /dev/null the library put in place, nor the
// certification log.
[[noreturn]] void listInherited(uint16_t port)
{
    for (const int descriptor : openDescriptors()) {
        char target[256] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
        if (::readlink(link.c_str(), target, sizeof target - 1) >= 0
            && (std::strcmp(target, "/dev/null") == 0 || localPort(descriptor) == port
                || std::strstr(target, CertificationLog)))
            std::printf("host: a program run by a forked child inherits descriptor %d (%s)\n", descriptor, target);
    }
    // Its exit is not the host's.
    std::fflush(stdout);
    std::_Exit(0);
}

// In a forked child: runs the lister with what the host itself inherited closed.
void execTheLister(uint16_t port)
{
    for (const int descriptor : inheritedByTheHost)
        ::close(descriptor);
    const std::string portText = std::to_string(port);
    // Under emulation the kernel cannot run this program itself.
    const char* const emulator = SERVICE_EXITING_HOST_EMULATOR;
    if (*emulator)
        ::execlp(emulator, emulator, SERVICE_EXITING_HOST, "inherited", portText.c_str(), static_cast<char*>(nullptr));
    else
        ::execl(SERVICE_EXITING_HOST, SERVICE_EXITING_HOST, "inherited", portText.c_str(), static_cast<char*>(nullptr));
    std::puts("host: the forked child could not exec");
    std::_Exit(1);
}

void waitForTheParent(uint16_t port)
{
    ::close(helperLine[1]);
    if (const int found = socketsOnThePort(port))
        std::printf("host: the helper holds %d of the library's sockets\n", found);
    char byte = 'u';
    ::send(helperLine[0], &byte, 1, MSG_NOSIGNAL);
    while (::read(helperLine[0], &byte, 1) < 0 && errno == EINTR) {
    }
}

bool helperUp()
{
    pollfd line{helperLine[1], POLLIN, 0};
    return ::poll(&line, 1, 0) == 1;
}

// The child's wait for the grandchild ends first: nothing outlives the row.
bool grandchildForked = false;

void awaitTheChild(pid_t child)
{
    const std::int64_t endingAt = testsupport::steadyMs();
    int status = 0;
    const std::chrono::milliseconds deadline(grandchildForked ? 10000 : 20000);
    if (!waitUntil([child, &status] { return ::waitpid(child, &status, WNOHANG) == child; }, deadline)) {
        std::puts("host: the forked child did not end");
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("host: the forked child ended with status %d\n", status);
    } else if (testsupport::steadyMs() - endingAt >= 5000) {
        std::puts("host: the forked child's exit waited for the parent's threads");
    }
}

// The child ends as after a failed exec, or execs, or lives on.
pid_t forkAChild(uint16_t port)
{
    if (row.livesOn && ::socketpair(AF_UNIX, SOCK_STREAM, 0, helperLine) != 0)
        std::puts("host: no line to the helper");
    const pid_t child = forkBetweenSales();
    if (child == 0) {
        forkedChild = true;
        if (row.exec)
            execTheLister(port);
        if (row.grandchild && !grandchildForked) {
            grandchildForked = true;
            awaitTheChild(forkAChild(port));
            std::exit(0);
        }
        if (row.childUses)
            useTheLibraryInTheChild(port);
        if (row.livesOn)
            waitForTheParent(port);
        std::exit(0);
    }
    ::close(helperLine[0]);
    if (row.livesOn && !waitUntil(helperUp))
        std::puts("host: the helper did not come up");
    return child;
}

// [log-held]: a library thread's write of a certification log line is held
// while the host forks a child that execs at once.
std::atomic<bool> holdLogWrites{false};
std::atomic<bool> logWriteHeld{false};

int forkWhileTheLogIsWritten(uint16_t port)
{
    holdLogWrites = true;
    std::thread([] { sendInformationRequest(nullptr, nullptr, nullptr); }).detach();
    if (!waitUntil([] { return logWriteHeld.load(); })) {
        std::puts("host: no certification log line was written");
        return 1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        forkedChild = true;
        execTheLister(port);
    }
    holdLogWrites = false;
    awaitTheChild(child);
    return end();
}

// [send-at-exit]: a result callback's send is held in its certification log
// write, a library call under way in host code on a library thread, until the
// process ends. The exit waits for it as for a thread at work, up to its
// limit: the call must not meet what the exit destroys.
thread_local bool holdLogWritesHere = false;
std::atomic<bool> sendHeld{false};
std::atomic<std::int64_t> restLeftSeenAt{0};

void sendHeldInTheLog(const char*, void*)
{
    holdLogWritesHere = true;
    sendInformationRequest(nullptr, nullptr, nullptr);
}

// The exit unlists the terminals as it leaves their connections.
bool listed(const char* terminal)
{
    char* const terminals = zuva_getConnectedTerminals();
    const bool found = terminals && std::strstr(terminals, terminal);
    zuva_free(terminals);
    return found;
}

void noteWhenTheRestIsLeft()
{
    while (listed("TERM0001"))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    restLeftSeenAt = testsupport::steadyMs();
}

void checkTheExitWaitedForTheSend()
{
    if (restLeftSeenAt == 0) {
        std::puts("host: the exit did not leave the rest");
        return;
    }
    const std::int64_t waited = testsupport::steadyMs() - restLeftSeenAt;
    if (waited < 500)
        std::printf("host: the exit went on after %lld ms while a callback's send was under way\n",
                    static_cast<long long>(waited));
}

int exitWhileACallbackSends()
{
    std::thread(noteWhenTheRestIsLeft).detach();
    if (sendInformationRequest(&sendHeldInTheLog, nullptr, nullptr) != 0
        || !waitUntil([] { return sendHeld.load(); })) {
        std::puts("host: the callback's send was not held in the log");
        return 1;
    }
    return 0;
}

// The last pseudo-terminal's line, and the last serial service.
char lineName[128] = {};
void* serialService = nullptr;

void* serveLine(const char* name)
{
    void* const handle = zuva_createSerialService(name, nullptr, nullptr, nullptr, nullptr, &onError, nullptr, nullptr);
    if (!handle)
        std::puts("host: a serial service did not start");
    return handle;
}

// A serial service on a new pseudo-terminal; the line's master, which hangs
// up until the service has opened the port.
int startSerialService()
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, lineName, nullptr, nullptr) != 0) {
        std::puts("host: no pseudo-terminal");
        return -1;
    }
    ::close(slave);
    serialService = serveLine(lineName);
    return master;
}

bool lineOpen(int master)
{
    pollfd line{master, 0, 0};
    return ::poll(&line, 1, 0) == 0;
}

// The link's first frame: the service has the port open and set up.
bool linkCalling(int master)
{
    pollfd line{master, POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && line.revents == POLLIN;
}

// The port hangs up as the parent's service stops, though the child lives.
void reopenTheLine(int master)
{
    zuva_stopService(serialService);
    if (!waitUntil([master] { return !lineOpen(master); }))
        std::puts("host: the serial line did not hang up while the child lives");
    serialService = serveLine(lineName);
    if (!waitUntil([master] { return lineOpen(master); }))
        std::puts("host: the serial port did not open again");
    zuva_stopService(serialService);
}

int forkAndStartAgain(uint16_t port)
{
    if (row.stream && !startStream(port)) {
        std::puts("host: the terminals do not sell");
        return 1;
    }
    SimTerminal& terminal = newTerminal();
    if ((row.childUses || row.livesOn) && !connectTerminal(terminal, port, "TERM0001")) {
        std::puts("host: the terminal was not reported connected");
        return 1;
    }
    const int line = row.livesOn ? startSerialService() : -1;
    if (row.livesOn && !waitUntil([line] { return linkCalling(line); }))
        std::puts("host: the serial link did not call");
    const pid_t child = forkAChild(port);
    if (!row.livesOn)
        awaitTheChild(child);
    if (!terminal.requests().empty())
        std::puts("host: a forked child's request reached the parent's terminal");
    zuva_stopService(service);
    service = startService(port);
    if (!service)
        std::puts("host: no new service on the port");
    if (row.livesOn) {
        reopenTheLine(line);
        if (!connectSeller(port, "TERM3000") || !sell("TERM3000"))
            std::puts("host: no sale on the new service");
        ::close(helperLine[1]);
        awaitTheChild(child);
    }
    zuva_stopService(service);
    return 0;
}

// Main exits while a host thread stops the service under streaming sales.
int exitBesideAStop(uint16_t port)
{
    if (!startStream(port)) {
        std::puts("host: the terminals do not sell");
        return 1;
    }
    if (row.slowSave)
        fillTheClosedFolder();
    storageSlowed = row.slowSave;
    std::atomic<bool> stopping{false};
    std::thread([&stopping] {
        stopping = true;
        zuva_stopService(service);
    }).detach();
    waitUntil([&stopping] { return stopping.load(); });
    std::exit(0);
}

// [lister]: main exits while a host thread lists the files, some closed.
int exitWhileListing(uint16_t port)
{
    if (!startStream(port)) {
        std::puts("host: the terminals do not sell");
        return 1;
    }
    fillTheClosedFolder();
    std::thread(listWithoutPause).detach();
    if (!waitUntil([] { return listings > 0; }))
        std::puts("host: the recovery files were not listed");
    std::exit(0);
}

// The library's first write on main raises SIGTERM, whose handler exits:
// the exit begins while main holds the connection's write lock.
std::atomic<bool> raiseInSend{false};

void exitOnSignal(int)
{
    std::exit(0);
}

// The host's exit work stops the service, on the thread the signal interrupted.
void stopAtExit()
{
    zuva_stopService(service);
    zuva_cleanup();
}

int exitFromASignalWhileSending()
{
    std::atexit(stopAtExit);
    ::signal(SIGTERM, exitOnSignal);
    raiseInSend = true;
    sendInformationRequest(nullptr, nullptr, nullptr);
    std::puts("host: the signal did not end the process");
    return 1;
}

// A host thread stops the service; its disconnected report lasts into the
// clean-up that main makes meanwhile.
int cleanUpBesideAStop()
{
    std::atomic<bool> stopReturned{false};
    std::thread([&stopReturned] {
        zuva_stopService(service);
        stopReturned = true;
    }).detach();
    if (!waitUntil([] { return disconnectedReports == 1; })) {
        std::puts("host: the stop reported no disconnection");
        return 1;
    }
    cleanupCalled = true;
    zuva_cleanup();
    // Without its application the stop's threads could never end.
    if (reportsUnderWay > 0 && !QCoreApplication::instance())
        std::puts("host: the clean-up took the Qt application from under a stop still under way");
    if (!waitUntil([&stopReturned] { return stopReturned.load(); }))
        std::puts("host: the stop beside the clean-up did not return");
    return 0;
}

// Eight services start at once, and main returns while their ports open, as
// a register that finds its configuration wrong does.
int returnWhileSerialPortsOpen()
{
    for (int index = 0; index < 8; ++index)
        startSerialService();
    return 0;
}

// Once main has set the library up, a host thread makes the process's first
// start as main exits.
int exitDuringTheFirstStart(uint16_t port)
{
    zuva_Initialize();
    std::atomic<bool> starting{false};
    std::thread([&starting, port] {
        starting = true;
        service = startService(port);
    }).detach();
    waitUntil([&starting] { return starting.load(); });
    std::exit(0);
}

// A slow start: a terminal dials in and announces itself meanwhile.
void onStarted(const char*, void*)
{
    inStarted = true;
    holdTheStartIfAsked();
    if (row.startedFirst) {
        SimTerminal& terminal = newTerminal();
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = "TERM0009";
        if (!terminal.connectTo(listeningPort) || !terminal.sendAdvice(advice))
            std::puts("host: the terminal could not dial in during the start");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    startedReturned = true;
}

int cleanUpDuringTheStart(uint16_t port)
{
    std::thread([port] { service = startService(port); }).detach();
    if (!waitUntil([] { return inStarted.load(); })) {
        std::puts("host: the service did not start");
        return 1;
    }
    zuva_cleanup();
    if (stops != 1)
        std::puts("host: the clean-up did not stop the service that was starting");
    return 0;
}

// Eight host threads start and stop services of their own; then main
// cleans up.
int startAndStopOnEightThreads()
{
    std::vector<std::thread> threads;
    for (int index = 0; index < 8; ++index)
        threads.emplace_back([] {
            const uint16_t own = SimTerminal::freeLoopbackPort();
            for (int round = 0; round < 10; ++round)
                zuva_stopService(zuva_createTcpIpService(own, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                         nullptr));
        });
    for (std::thread& thread : threads)
        thread.join();
    zuva_cleanup();
    return 0;
}

// A second service with a terminal of its own: the exit ends one service
// after the other.
int endWithTwoServices()
{
    const uint16_t other = SimTerminal::freeLoopbackPort();
    if (!startService(other) || !connectTerminal(newTerminal(), listeningPort, "TERM0001")
        || !connectTerminal(newTerminal(), other, "TERM0002")) {
        std::puts("host: two services with a terminal each did not start");
        return 1;
    }
    return 0;
}

int exitWhileAStartWaitsForMain()
{
    hostLock.lock();
    lockedStartAsked = true;
    std::thread([] { startService(SimTerminal::freeLoopbackPort()); }).detach();
    if (!waitUntil([] { return startWaitsForMain.load(); })) {
        std::puts("host: no started callback waits for the lock");
        return 1;
    }
    std::exit(0);
}

// A host thread makes the first start; a call that does not return ends the
// process here, since its exit would wait for that call too.
std::atomic<bool> startReturned{false};

int cleanUpInsideTheStart(uint16_t port)
{
    std::thread([port] {
        service = startService(port);
        startReturned = true;
    }).detach();
    if (row.exit) {
        waitUntil([] { return inStarted.load(); });
        return 0;
    }
    if (!waitUntil([] { return startReturned.load(); })) {
        std::puts("host: the clean-up inside the started callback did not return");
        std::fflush(stdout);
        std::_Exit(1);
    }
    if (!waitUntil([] { return stops == 1; }))
        std::puts("host: the clean-up inside the started callback did not stop the service");
    return 0;
}

void checkTheStopWasTold()
{
    if (!stopReported)
        std::puts("host: the clean-up inside the started callback was not told stopped");
}

void letTheStartCleanUp()
{
    libraryExitWorkRan = true;
    if (!waitUntil([] { return startReturned.load(); }, std::chrono::milliseconds(5000)))
        std::puts("host: the start did not return");
    checkTheStopWasTold();
}

// In a network of its own, whose loopback is down.
void leaveLoopback()
{
    if (::unshare(CLONE_NEWNET) != 0)
        std::puts("host: no network namespace of its own (run as root)");
}

// [asks-at-exit]: exit work of the host's, made before its first call, so
// after the library's: the exit has left the connections to the process's
// end, and the terminal is answered for as one not connected.
void askAfterTheExit()
{
    char* const terminals = zuva_getConnectedTerminals();
    char* const description = zuva_getConnectionDescription("TERM0001");
    if (!terminals || std::strstr(terminals, "TERM0001") || !description || *description
        || zuva_isTerminalConnected("TERM0001") != -1)
        std::printf("host: after the exit the terminal is still answered for: %s %s\n",
                    terminals ? terminals : "null", description ? description : "null");
    zuva_free(terminals);
    zuva_free(description);
}

int createAfterCleanup(uint16_t port)
{
    zuva_cleanup();
    if (startService(port))
        std::puts("host: a service started after the clean-up");
    if (errors != 1 || !refusedAsCleanedUp)
        std::printf("host: %d errors reported for a service after the clean-up\n", errors.load());
    return 0;
}

// [chain-exit]: each terminal's result callback sends its next request. The
// second terminal's is under way as the first's calls exit, and sends its
// next once the host's own exit work runs: the exit has left the connections
// to the process's end by then, so it is refused at once, 2/12, and nothing
// the library does after it may meet what the exit has destroyed. The
// third's returns as the exit leaves the rest: the exit need not wait for its
// thread, which stays. [stream]: none is held, as a register's would not be.
constexpr std::intptr_t ChainTerminals = 6;
std::atomic<int> chainedResults{0};
std::atomic<bool> allChaining{false};
std::atomic<bool> chainHeld{false};
std::atomic<bool> returningAtTheRestLeft{false};
// When the first terminal's result callback calls exit: the library's exit
// work comes after it, whenever that was registered.
std::atomic<std::int64_t> chainExitCalledAt{0};
std::atomic<bool> hostExitWorkBegun{false};
std::atomic<bool> lateSendReturned{false};
std::atomic<int> lateRefusals{0};
SimTerminal* chainedSims[ChainTerminals] = {};

std::string chainedTerminal(std::intptr_t index)
{
    return "TERM300" + std::to_string(index);
}

void onLateRefusal(const char* json, void*)
{
    if (std::strstr(json, "\"causeCode\": 12") && std::strstr(json, "exiting"))
        ++lateRefusals;
}

// Host code like a callback: none runs once the exit has left the rest, but
// for that of a send refused then, inside that send, part of the host code
// under way.
thread_local bool sendingChained = false;

void onChainedFree(void*)
{
    if (hostExitWorkBegun && !sendingChained)
        std::puts("host: a free function ran during the host's exit work");
}

int sendChained(std::intptr_t index, zuva_callback result, zuva_free_function freeFunction)
{
    return zuva_sendTransaction(chainedTerminal(index).c_str(), InformationRequest, result,
                                reinterpret_cast<void*>(index), nullptr, nullptr, freeFunction);
}

void sendOnceTheHostsExitWorkRuns()
{
    if (!waitUntil([] { return hostExitWorkBegun.load(); }))
        std::puts("host: the host's exit work did not begin");
    if (sendChained(1, &onLateRefusal, nullptr) != -1 || lateRefusals != 1)
        std::puts("host: a request sent during the host's exit work was not refused at once, 2/12");
    lateSendReturned = true;
}

// Asks without a pause from before the exit: the exit finds this thread at
// work as it looks, and sees it return. It yields between asks, so as not to
// hold a core from the terminals on a machine of two.
void returnOnceTheRestIsLeft()
{
    while (listed(chainedTerminal(2).c_str()))
        std::this_thread::yield();
    if (chainExitCalledAt == 0)
        std::puts("host: the terminal was unlisted before the exit");
}

// A refusal ends the terminal's chain.
void onChainedResult(const char* json, void* userData)
{
    if (std::strstr(json, "\"error\""))
        return;
    const auto index = reinterpret_cast<std::intptr_t>(userData);
    const bool streaming = allChaining && ++chainedResults > 4 * ChainTerminals;
    if (streaming && !row.stream && index == 1 && !chainHeld.exchange(true))
        return sendOnceTheHostsExitWorkRuns();
    if (streaming && !row.stream && index == 2 && !returningAtTheRestLeft.exchange(true))
        return returnOnceTheRestIsLeft();
    if (index == 0 && (row.stream ? streaming : chainHeld && returningAtTheRestLeft)) {
        chainExitCalledAt = testsupport::steadyMs();
        std::exit(0);
    }
    sendingChained = true;
    const int sent = sendChained(index, &onChainedResult, &onChainedFree);
    sendingChained = false;
    if (sent != 0 && chainExitCalledAt == 0)
        std::puts("host: a request chained from a result callback was refused before the exit");
}

std::int64_t processCpuMs()
{
    timespec spent{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return static_cast<std::int64_t>(spent.tv_sec) * 1000 + spent.tv_nsec / 1000000;
}

// The host's own, in place before the library's first call, so it runs once
// the library's exit work has ended; it lasts a second, as saving a
// register's state may. The threads the exit left take no CPU meanwhile,
// though their terminals send, and the exit's own work, which waits for
// nothing under way in host code, was short.
void workForASecondAtExit()
{
    // Not called from a result callback: the row has failed already.
    if (chainExitCalledAt == 0)
        return;
    const auto done = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    const std::int64_t exitsOwnWork = testsupport::steadyMs() - chainExitCalledAt;
    const std::int64_t cpuBefore = processCpuMs();
    hostExitWorkBegun = true;
    if (!row.stream && !waitUntil([] { return lateSendReturned.load(); }))
        std::puts("host: the request sent during the host's exit work did not return");
    // Nothing reads it any more.
    for (SimTerminal* const terminal : chainedSims)
        if (terminal)
            terminal->sendSynchronizationAdvice("02");
    std::this_thread::sleep_until(done);
    const std::int64_t cpu = processCpuMs() - cpuBefore;
    if (exitsOwnWork >= testsupport::scaled(std::chrono::milliseconds(500)).count())
        std::printf("host: the library's exit work took %lld ms\n", static_cast<long long>(exitsOwnWork));
    if (cpu >= testsupport::scaled(std::chrono::milliseconds(200)).count())
        std::printf("host: %lld ms of CPU during a second of the host's exit work\n", static_cast<long long>(cpu));
}

int exitFromAChainedResult(uint16_t port)
{
    for (std::intptr_t index = 0; index < ChainTerminals; ++index) {
        SimTerminal& terminal = newTerminal();
        chainedSims[index] = &terminal;
        const std::string identifier = chainedTerminal(index);
        terminal.on("Ci", [identifier](const testsupport::SimMessage& request) {
            return SimTerminal::answer(SimTerminal::informationReplyTo(request, identifier, "SIM-1", "10"));
        });
        if (!connectTerminal(terminal, port, identifier) || sendChained(index, &onChainedResult, &onChainedFree) != 0) {
            std::puts("host: a terminal does not answer");
            return 1;
        }
    }
    allChaining = true;
    if (!waitUntil([] { return chainExitCalledAt != 0; })) {
        std::puts("host: the results were not chained");
        return 1;
    }
    for (;;)
        ::pause();
}

// Before any other static is built, so that it runs after they are destroyed.
__attribute__((constructor(101))) void registerLastAtExit()
{
    std::atexit(awaitDialsAfterTheStatics);
}

bool writesTheLog(int descriptor)
{
    char target[256] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    return ::readlink(link.c_str(), target, sizeof target - 1) >= 0 && std::strstr(target, CertificationLog);
}

} // namespace

// Holds the library's writes to the certification log while asked.
extern "C" ssize_t write(int descriptor, const void* data, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static const auto next = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    if (holdLogWrites && writesTheLog(descriptor)) {
        logWriteHeld = true;
        waitUntil([] { return !holdLogWrites; });
    }
    if (holdLogWritesHere && writesTheLog(descriptor)) {
        sendHeld = true;
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return next(descriptor, data, size);
}

// Takes the library's writes to the terminals, and the simulated terminal's.
extern "C" ssize_t send(int descriptor, const void* data, size_t size, int flags)
{
    using Send = ssize_t (*)(int, const void*, size_t, int);
    static const auto next = reinterpret_cast<Send>(::dlsym(RTLD_NEXT, "send"));
    if (raiseInSend.exchange(false))
        ::raise(SIGTERM);
    return next(descriptor, data, size, flags);
}

// The certification log on, and backup-mode sales recorded, in a folder of
// the run's own.
void logAndRecord()
{
    char folder[] = "exiting-XXXXXX";
    if (!::mkdtemp(folder) || ::chdir(folder) != 0) {
        std::puts("host: no folder of its own");
        return;
    }
    if (zuva_setSettings(R"({"serviceSettings": {"cardInfoTrailingRequestTimeout": 30,
            "cardRecognitionTimeout": 45, "connectionAdviceTimeout": 1500, "currencyCode": "EUR",
            "displayResultTimeout": 2, "certificationModeEnabled": true, "certificationFilePath": ".",
            "certificationFileName": "certification.log"}})")
        != 0)
        std::puts("host: the certification log was not switched on");
}

// [free-thread]: a sequential host whose free function tells where it runs.
constexpr int FreeThreadSends = 5000;
thread_local bool sendingHere = false;

struct Request {
    std::mutex mutex;
    std::condition_variable changed;
    bool resulted = false;
    bool released = false;
};
std::atomic<int> freedInsideTheSend{0};
std::atomic<int> freedBeforeTheResult{0};

void noteResult(const char*, void* data)
{
    auto* const request = static_cast<Request*>(data);
    const std::lock_guard<std::mutex> lock(request->mutex);
    request->resulted = true;
}

void noteRelease(void* data)
{
    auto* const request = static_cast<Request*>(data);
    freedInsideTheSend += sendingHere;
    const std::lock_guard<std::mutex> lock(request->mutex);
    freedBeforeTheResult += !request->resulted;
    request->released = true;
    request->changed.notify_all();
}

bool sendAndAwaitRelease()
{
    auto* const request = new Request;
    sendingHere = true;
    const int sent = zuva_sendTransaction("TERM0001", InformationRequest, &noteResult, request, nullptr, nullptr,
                                          &noteRelease);
    sendingHere = false;
    std::unique_lock<std::mutex> lock(request->mutex);
    if (sent != 0
        || !request->changed.wait_for(lock, testsupport::waitDeadline(std::chrono::milliseconds(20000)),
                                      [request] { return request->released; }))
        return false; // left to the library
    lock.unlock();
    delete request;
    return true;
}

int checkWhereTheFreeFunctionsRun()
{
    const int sends = testsupport::repeatOnOneBusyCore(FreeThreadSends, sendAndAwaitRelease);
    if (sends < 0) {
        std::puts("host: a request was refused or never released");
        return 1;
    }
    if (freedInsideTheSend != 0 || freedBeforeTheResult != 0)
        std::printf("host: of %d free functions %d ran inside the send, %d before the result\n", sends,
                    freedInsideTheSend.load(), freedBeforeTheResult.load());
    return end();
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "inherited") == 0)
        listInherited(static_cast<uint16_t>(std::atoi(argv[2])));
    readRow(argc, argv);
    if (row.exec || asked(argc, argv, "log-held"))
        inheritedByTheHost = openDescriptors();
    // Whole lines, also before an abort.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (row.logged)
        std::atexit(checkTheRecordsAtTheEnd);
    if (row.journal)
        std::atexit(saveJournal);
    if (asked(argc, argv, "asks-at-exit"))
        std::atexit(askAfterTheExit);
    if (row.lateReport)
        std::atexit(noteTheRestLeft);
    if (row.chainExit)
        std::atexit(workForASecondAtExit);
    if (row.stopAtExit)
        std::atexit(stopOnceTheReportReturned);
    if (row.cleanupInStarted && row.exit)
        std::atexit(letTheStartCleanUp);
    if (row.exitInStarted)
        std::atexit(checkTheStopWasTold);
    if (row.endingAtExit)
        std::atexit(checkTheEndingStopWasTold);
    if (row.sendAtExit)
        std::atexit(checkTheExitWaitedForTheSend);
    if (row.noLoopback)
        leaveLoopback();
    if (row.logged)
        logAndRecord();
    const uint16_t port = row.noLoopback ? 0 : SimTerminal::freeLoopbackPort();
    listeningPort = port;
    if (row.serialReturn)
        return returnWhileSerialPortsOpen();
    if (row.firstStart)
        return exitDuringTheFirstStart(port);
    if (row.cleanupDuringStart)
        return cleanUpDuringTheStart(port);
    if (row.cleanupInStarted)
        return cleanUpInsideTheStart(port);
    if (row.warned)
        qtsOwnHandler = qInstallMessageHandler(writeAndCount);
    if (row.warnedStop || row.warnedExit || row.callsInWarning)
        qInstallMessageHandler(actOnWarning);
    zuva_Initialize();
    if (terminationBlocked())
        std::puts("host: SIGTERM or SIGINT stays blocked on main after the set-up");
    service = startService(port);
    if (!service) {
        std::puts("host: the service did not start");
        return 1;
    }
    if (sigtermBlocked())
        std::puts("host: SIGTERM stays blocked on main after a start");
    std::atexit(markTheExitBegun);
    if (row.startStop)
        return startAndStopOnEightThreads();
    if (row.callsInStopped) {
        // From a thread that no callback has run on yet.
        std::thread([] { zuva_stopService(service); }).join();
        if (!calledInStopped)
            std::puts("host: the stop was not reported");
        return 0;
    }
    if (row.lateReport)
        return endWithTwoServices();
    if (row.lockedStart)
        return exitWhileAStartWaitsForMain();
    if (row.afterCleanup)
        return createAfterCleanup(port);
    if (row.noLoopback)
        return end();
    if (row.startedFirst && !waitUntil([] { return connectedReports == 1; })) {
        std::puts("host: the terminal that dialled in during the start was not reported connected");
        return 1;
    }
    if (row.dialIn)
        return endWhileDialledIn(port);
    if (row.stopAtExit)
        return returnDuringAReport(port);
    if (row.fork)
        return forkAndStartAgain(port);
    if (row.stopBeside)
        return exitBesideAStop(port);
    if (row.lister)
        return exitWhileListing(port);
    if (row.chainExit)
        return exitFromAChainedResult(port);
    SimTerminal& terminal = newTerminal();
    answerInformation(terminal);
    if (row.warnedStop || row.warnedExit)
        approveTwice(terminal);
    if (!connectTerminal(terminal, port, "TERM0001")) {
        std::puts("host: the terminal was not reported connected");
        return 1;
    }
    if (row.freeLocked)
        return exitHoldingTheLock();
    if (row.freeThread)
        return checkWhereTheFreeFunctionsRun();
    if (row.sendAtExit)
        return exitWhileACallbackSends();
    if (row.freeExit)
        return exitFromTheFreeFunction();
    if (row.stopInResult)
        return returnWithAStopBehindAReport(port);
    if (row.endingAtExit)
        return exitWhileAStopEnds(port);
    if (row.exitInStopped)
        return exitFromTheStoppedCallback();
    if (row.warned)
        return exitAfterAWarning(port);
    if (row.warnedStop || row.warnedExit)
        return actOnALateApproval();
    if (row.callsInWarning)
        return callTheLibraryFromAWarning();
    if (row.exitInStop)
        return exitDuringStop();
    if (row.signalExit)
        return exitFromASignalWhileSending();
    if (asked(argc, argv, "log-held"))
        return forkWhileTheLogIsWritten(port);
    if (row.cleanupBeside)
        return cleanUpBesideAStop();
    return end();
}
