// A host that keeps its service object in a static, as a long-lived
// application object does, and returns from main: the object goes after the
// library's own statics. Exits 0; the sanitizers must report nothing, nor
// the host itself (lines starting "host:").
// Usage: client_exiting_host [terminal] [cleanup]: with an announced terminal
// still connected; with ect::cleanup before the return.
#include "client/ZUVAService.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Goes after the service object: by then its service has been stopped once.
class Listener : public ect::ZUVAServiceListener {
public:
    ~Listener() override
    {
        if (stopped != 1)
            std::printf("host: service stopped %d times\n", stopped.load());
    }

    void onServiceStarted() override { ++started; }
    void onServiceStopped() override { ++stopped; }
    void onServiceError(ect::ECTError) override {}
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal>) override { ++connected; }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal>) override {}

    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> connected{0};
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
    if (asked(argc, argv, "cleanup"))
        ect::cleanup();
    return 0;
}
