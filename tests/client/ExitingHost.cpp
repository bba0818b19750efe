// A host that keeps its service object in a static, as a long-lived
// application object does, and returns from main: the object goes after the
// library's own statics. Exits 0; the sanitizers must report nothing, nor
// the host itself (lines starting "host:").
// Usage: client_exiting_host [terminal] [pending] [cleanup]: with an
// announced terminal still connected; with a request to it still unanswered;
// with ect::cleanup before the return.
#include "client/ServiceInformationTransaction.h"
#include "client/ZUVAService.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Goes after the service object: by then its service has been stopped once,
// and the request it sent has had its one result.
class Listener : public ect::ZUVAServiceListener {
public:
    ~Listener() override
    {
        if (stopped != 1 || results != requests)
            std::printf("host: service stopped %d times, %d results of %d requests\n", stopped.load(),
                        results.load(), requests);
    }

    void onServiceStarted() override { ++started; }
    void onServiceStopped() override { ++stopped; }
    void onServiceError(ect::ECTError) override {}
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal>) override { ++connected; }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal>) override {}

    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> connected{0};
    int requests = 0;
    std::atomic<int> results{0};
};

Listener listener;
// Empty until main fills it, so it is older than anything the library makes.
std::shared_ptr<ect::ZUVAService> service;
testsupport::SimTerminal terminal;

bool asked(int argc, char** argv, const char* word)
{
    for (int index = 1; index < argc; ++index)
        if (std::strcmp(argv[index], word) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    service = ect::makeTcpIpZUVAService(port, listener);
    service->startService();
    if (listener.started != 1) {
        std::puts("host: service did not start");
        return 1;
    }
    if (asked(argc, argv, "terminal")
        && !(terminal.connectTo(port) && terminal.sendAdvice()
             && testsupport::waitUntil([] { return listener.connected == 1; }))) {
        std::puts("host: terminal not reported connected");
        return 1;
    }
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
    return 0;
}
