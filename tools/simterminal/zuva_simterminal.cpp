// Simulated payment terminal: connects to a host's TCP/IP service on loopback,
// announces itself with a connection advice and answers information requests
// and, as an approving terminal, the sale, card, ticket, operation and MMI requests
// (with --refuse-first-pin, the first PIN entered is wrong). Prints each
// display request it answers.
// Exits 0 once the host has closed the connection after at least --expect
// requests were answered, 1 otherwise.
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

struct Options {
    int port = 0;
    SimAdvice advice;
    std::string capabilities = "10";
    int timeoutSeconds = 30;
    size_t expected = 1;
    bool refuseFirstPin = false;
    bool help = false;
};

void usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: zuva_simterminal --port N [--id TERMINAL_ID] [--model MODEL]\n"
                 "                        [--capabilities HEX] [--timeout SECONDS] [--expect REQUESTS]\n"
                 "                        [--refuse-first-pin]\n"
                 "Plays an approving payment terminal against a host's TCP/IP service on\n"
                 "127.0.0.1 and prints each display request it answers.\n"
                 "  --port N             the service's port (1 to 65535); required\n"
                 "  --id TERMINAL_ID     the identifier it announces (default TERM0001)\n"
                 "  --model MODEL        the model it announces and tells in its service\n"
                 "                       information (default SIM-1)\n"
                 "  --capabilities HEX   the capability bytes of its service information;\n"
                 "                       bit 0x10 of the first one offers cash-back (default 10)\n"
                 "  --timeout SECONDS    how long it tries to connect, and then how long it\n"
                 "                       waits for the host to close the connection (default 30)\n"
                 "  --expect REQUESTS    the fewest requests it must have answered (default 1)\n"
                 "  --refuse-first-pin   the first PIN entered is a wrong one\n"
                 "  --help               this text\n"
                 "Exits 0 once the host has closed the connection after at least REQUESTS\n"
                 "requests and none was malformed; 1 otherwise; 2 for wrong options.\n");
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--refuse-first-pin") {
            options.refuseFirstPin = true;
            continue;
        }
        if (key == "--help" || key == "-h") {
            options.help = true;
            return true;
        }
        if (++i == argc)
            return false;
        const std::string value = argv[i];
        if (key == "--port") options.port = std::atoi(value.c_str());
        else if (key == "--id") options.advice.terminalIdentifier = value;
        else if (key == "--model") options.advice.terminalModel = value;
        else if (key == "--capabilities") options.capabilities = value;
        else if (key == "--timeout") options.timeoutSeconds = std::atoi(value.c_str());
        else if (key == "--expect") options.expected = static_cast<size_t>(std::atoi(value.c_str()));
        else return false;
    }
    return options.port > 0 && options.port < 65536;
}

bool connectWithRetry(SimTerminal& terminal, const Options& options)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    while (!terminal.connectTo(static_cast<uint16_t>(options.port))) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The display requests, as they come: "terminal: Ck", "terminal: Cm 26", ...
void printDisplayRequests(SimTerminal& terminal, bool refuseFirstPin)
{
    const std::vector<std::pair<std::string, SimTerminal::Responder>> display{
        {"Ck", [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); }},
        {"Cm", SimOperationReplies::pinEntries(refuseFirstPin ? std::vector<std::string>{"2630"}
                                                              : std::vector<std::string>{})},
        {"Cl", [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); }},
    };
    for (const auto& entry : display) {
        const SimTerminal::Responder answer = entry.second;
        terminal.on(entry.first, [answer](const SimMessage& request) {
            std::printf("terminal: %s\n", SimOperationReplies::describe(request).c_str());
            std::fflush(stdout);
            return answer(request);
        });
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        usage(stderr);
        return 2;
    }
    if (options.help) {
        usage(stdout);
        return 0;
    }
    SimTerminal terminal;
    // An approving terminal for the sale, card, ticket, operation and MMI
    // services, then our own answer to information requests.
    SimSaleReplies::script(terminal, options.advice.terminalIdentifier);
    SimOperationReplies::answerAll(terminal);
    printDisplayRequests(terminal, options.refuseFirstPin);
    terminal.on("Ci", [&](const SimMessage& request) {
        std::printf("terminal: information request, sequence %d\n", request.sequence);
        std::fflush(stdout);
        return SimTerminal::answer(SimTerminal::informationReplyTo(
            request, options.advice.terminalIdentifier, options.advice.terminalModel, options.capabilities));
    });
    if (!connectWithRetry(terminal, options)) {
        std::fprintf(stderr, "terminal: cannot connect to port %d\n", options.port);
        return 1;
    }
    std::printf("terminal: connected to port %d as %s\n", options.port, options.advice.terminalIdentifier.c_str());
    std::fflush(stdout);
    terminal.sendAdvice(options.advice);
    // The deadline is not scaled: this is a program, not a test.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    while (!terminal.peerClosed() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const size_t answered = terminal.requests().size();
    std::printf("terminal: %s after %zu request(s)\n", terminal.peerClosed() ? "closed by host" : "timed out",
                answered);
    return terminal.peerClosed() && answered >= options.expected && terminal.malformedCount() == 0 ? 0 : 1;
}
