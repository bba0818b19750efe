// Simulated payment terminal: connects to a host's TCP/IP service on loopback
// and announces itself with a connection advice, or plays on a serial line
// (a new pseudo-terminal pair, or a device) that the host's serial service
// opens. It answers information requests and, as an approving terminal, the
// sale, card, ticket, operation and MMI requests (with --refuse-first-pin, the
// first PIN entered is wrong). Prints each display request it answers.
// Over TCP/IP it exits 0 once the host has closed the connection after at
// least --expect requests were answered, 1 otherwise; on a serial line, where
// the host's closing is not seen, it plays until --timeout has passed.
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimSerialTerminal.h"
#include "simterminal/SimTerminal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

struct Options {
    int port = 0;
    bool serial = false;
    std::string device; // empty: a new pseudo-terminal pair
    int baudRate = 9600;
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
                 "usage: zuva_simterminal (--port N | --serial | --serial-device DEV [--baud RATE])\n"
                 "                        [--id TERMINAL_ID] [--model MODEL] [--capabilities HEX]\n"
                 "                        [--timeout SECONDS] [--expect REQUESTS] [--refuse-first-pin]\n"
                 "Plays an approving payment terminal against a host's TCP/IP service on\n"
                 "127.0.0.1, or against its serial service, and prints each display request\n"
                 "it answers.\n"
                 "  --port N             the TCP/IP service's port (1 to 65535)\n"
                 "  --serial             plays on a new pseudo-terminal pair and prints the\n"
                 "                       port for the host's serial service to open\n"
                 "                       (\"terminal: serial port /dev/pts/N\")\n"
                 "  --serial-device DEV  plays on a serial device, wired by a null-modem\n"
                 "                       cable to the host's port\n"
                 "  --baud RATE          the device's rate, 1200 to 230400 (default 9600)\n"
                 "  --id TERMINAL_ID     the identifier it announces (default TERM0001)\n"
                 "  --model MODEL        the model it announces and tells in its service\n"
                 "                       information (default SIM-1)\n"
                 "  --capabilities HEX   the capability bytes of its service information;\n"
                 "                       bit 0x10 of the first one offers cash-back (default 10)\n"
                 "  --timeout SECONDS    over TCP/IP how long it tries to connect, and then\n"
                 "                       how long it waits for the host to close the\n"
                 "                       connection; on a serial line how long it plays\n"
                 "                       (default 30)\n"
                 "  --expect REQUESTS    the fewest requests it must have answered (default 1)\n"
                 "  --refuse-first-pin   the first PIN entered is a wrong one\n"
                 "  --help               this text\n"
                 "Exits 0 once the host has closed the connection (on a serial line: once\n"
                 "SECONDS have passed) after at least REQUESTS requests and none was\n"
                 "malformed; 1 otherwise; 2 for wrong options.\n");
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--refuse-first-pin") {
            options.refuseFirstPin = true;
            continue;
        }
        if (key == "--serial") {
            options.serial = true;
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
        else if (key == "--serial-device") options.device = value;
        else if (key == "--baud") options.baudRate = std::atoi(value.c_str());
        else if (key == "--id") options.advice.terminalIdentifier = value;
        else if (key == "--model") options.advice.terminalModel = value;
        else if (key == "--capabilities") options.capabilities = value;
        else if (key == "--timeout") options.timeoutSeconds = std::atoi(value.c_str());
        else if (key == "--expect") options.expected = static_cast<size_t>(std::atoi(value.c_str()));
        else return false;
    }
    const int lines = (options.port != 0) + options.serial + !options.device.empty();
    return lines == 1 && options.port >= 0 && options.port < 65536;
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
void printDisplayRequests(SimScript& terminal, bool refuseFirstPin)
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

// An approving terminal for the sale, card, ticket, operation and MMI
// services, then our own answer to information requests.
void script(SimScript& terminal, const Options& options)
{
    SimSaleReplies::script(terminal, options.advice.terminalIdentifier);
    SimOperationReplies::answerAll(terminal);
    printDisplayRequests(terminal, options.refuseFirstPin);
    terminal.on("Ci", [options](const SimMessage& request) {
        std::printf("terminal: information request, sequence %d\n", request.sequence);
        std::fflush(stdout);
        return SimTerminal::answer(SimTerminal::informationReplyTo(
            request, options.advice.terminalIdentifier, options.advice.terminalModel, options.capabilities));
    });
}

// The deadline is not scaled: this is a program, not a test.
std::chrono::steady_clock::time_point deadline(const Options& options)
{
    return std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
}

int playOverTcpIp(const Options& options)
{
    SimTerminal terminal;
    script(terminal, options);
    if (!connectWithRetry(terminal, options)) {
        std::fprintf(stderr, "terminal: cannot connect to port %d\n", options.port);
        return 1;
    }
    std::printf("terminal: connected to port %d as %s\n", options.port, options.advice.terminalIdentifier.c_str());
    std::fflush(stdout);
    terminal.sendAdvice(options.advice);
    const auto end = deadline(options);
    while (!terminal.peerClosed() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const size_t answered = terminal.requests().size();
    std::printf("terminal: %s after %zu request(s)\n", terminal.peerClosed() ? "closed by host" : "timed out",
                answered);
    return terminal.peerClosed() && answered >= options.expected && terminal.malformedCount() == 0 ? 0 : 1;
}

// The host's serial service finds the terminal by the link's probes and asks
// for its information: no advice is sent.
int playOnSerialLine(const Options& options)
{
    std::unique_ptr<SimSerialTerminal> terminal = options.device.empty()
        ? std::make_unique<SimSerialTerminal>()
        : std::make_unique<SimSerialTerminal>(options.device, options.baudRate);
    if (!terminal->isOpen()) {
        if (options.device.empty())
            std::fprintf(stderr, "terminal: cannot open a pseudo-terminal pair\n");
        else
            std::fprintf(stderr, "terminal: cannot open %s at %d baud\n", options.device.c_str(), options.baudRate);
        return 1;
    }
    script(*terminal, options);
    const char* const id = options.advice.terminalIdentifier.c_str();
    if (options.device.empty())
        std::printf("terminal: serial port %s as %s\n", terminal->portName().c_str(), id);
    else
        std::printf("terminal: on %s at %d baud as %s\n", options.device.c_str(), options.baudRate, id);
    std::fflush(stdout);
    std::this_thread::sleep_until(deadline(options));
    const size_t answered = terminal->requests().size();
    std::printf("terminal: played %d s, %zu request(s)\n", options.timeoutSeconds, answered);
    return answered >= options.expected && terminal->malformedCount() == 0 ? 0 : 1;
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
    return options.port ? playOverTcpIp(options) : playOnSerialLine(options);
}
