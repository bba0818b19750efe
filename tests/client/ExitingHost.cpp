// A host that keeps its service object in a static, as a long-lived
// application object does, and returns from main: the object goes after the
// library's own statics. Exits 0; the sanitizers must report nothing, nor
// the host itself (lines starting "host:").
// Usage: client_exiting_host [terminal] [pending] [cleanup] [late-lock]
// [exit [host-thread]] [exit-in-WHERE] [locked [stop]]: with an announced
// terminal still connected; with a request to it still unanswered; with
// ect::cleanup before the end; with main holding, at the end, a lock that
// every disconnected report waits for; calling exit instead of returning, from
// main or from a host thread; calling exit inside the callback WHERE (result,
// connected, disconnected); with main holding a lock that a result callback
// waits for at the end, after a second terminal's disconnected report has
// begun to wait for the lock too and that result callback has stopped the
// service.
#include "client/ServiceInformationTransaction.h"
#include "client/ZUVAService.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

bool asked(int argc, char** argv, const char* word)
{
    for (int index = 1; index < argc; ++index)
        if (std::strcmp(argv[index], word) == 0)
            return true;
    return false;
}

std::string exitIn;
bool lateLock = false;
// Held by main from the moment it asks for a result until the process ends.
std::mutex hostLock;
std::atomic<int> waitingForLock{0};
// Main has done with the terminals and waits for the exit.
std::atomic<bool> mainIdle{false};

void exitIfIn(const char* where)
{
    if (exitIn == where && testsupport::waitUntil([] { return mainIdle.load(); }))
        std::exit(0);
}

void waitForHostLock()
{
    ++waitingForLock;
    const std::lock_guard<std::mutex> lock(hostLock);
}

// Goes after the service object: by then its service has been stopped once,
// and the request it sent has had its one result.
class Listener : public ect::ZUVAServiceListener {
public:
    ~Listener() override
    {
        if (stopped != 1 || results != requests)
            std::printf("host: service stopped %d times, %d results of %d requests\n", stopped.load(),
                        results.load(), requests);
        // The exit reported the terminal disconnected, and left that report waiting.
        if (lateLock && waitingForLock != 1)
            std::puts("host: no disconnected report waits for the lock");
    }

    void onServiceStarted() override { ++started; }
    void onServiceStopped() override { ++stopped; }
    void onServiceError(ect::ECTError) override {}
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal>) override
    {
        ++connected;
        exitIfIn("connected");
    }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        exitIfIn("disconnected");
        if (lockedOut && (lateLock || terminal->terminalId() == "TERM0002"))
            waitForHostLock();
    }

    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> connected{0};
    int requests = 0;
    std::atomic<int> results{0};
    std::atomic<bool> lockedOut{false};
};

Listener listener;
// Empty until main fills it, so it is older than anything the library makes.
std::shared_ptr<ect::ZUVAService> service;
testsupport::SimTerminal terminal;
testsupport::SimTerminal second;
std::atomic<bool> stopRequested{false};

void onResult()
{
    ++listener.results;
    if (stopRequested) {
        service->stopService();
        stopRequested = false;
    }
    exitIfIn("result");
    if (listener.lockedOut)
        waitForHostLock();
}

bool connect(testsupport::SimTerminal& sim, uint16_t port, const char* identifier)
{
    testsupport::SimAdvice advice;
    advice.terminalIdentifier = identifier;
    const int before = listener.connected;
    return sim.connectTo(port) && sim.sendAdvice(advice)
        && testsupport::waitUntil([before] { return listener.connected == before + 1; });
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
    if (asked(argc, argv, "stop")) {
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

int main(int argc, char** argv)
{
    for (int index = 1; index < argc; ++index)
        if (std::strncmp(argv[index], "exit-in-", 8) == 0)
            exitIn = argv[index] + 8;
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    service = ect::makeTcpIpZUVAService(port, listener);
    service->startService();
    if (listener.started != 1) {
        std::puts("host: service did not start");
        return 1;
    }
    const bool withTerminal = asked(argc, argv, "terminal") || asked(argc, argv, "locked") || !exitIn.empty();
    if (withTerminal && !connect(terminal, port, "TERM0001")) {
        std::puts("host: terminal not reported connected");
        return 1;
    }
    if (asked(argc, argv, "locked"))
        return runLocked(argc, argv, port);
    if (exitIn == "result") {
        answerInformation();
        sendRequest();
    } else if (exitIn == "disconnected") {
        terminal.close();
    }
    // The callback ends the process.
    mainIdle = true;
    while (!exitIn.empty())
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
    if (asked(argc, argv, "cleanup"))
        ect::cleanup();
    if (asked(argc, argv, "late-lock")) {
        // Main takes its lock and exits; only the exit's own reports wait for it.
        lateLock = true;
        hostLock.lock();
        listener.lockedOut = true;
    }
    return end(argc, argv);
}
