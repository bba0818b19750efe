// Example host of the C++ client interface: starts a TCP/IP service, waits for
// a terminal, prints each connected terminal with its connection, whether it
// is alive, its service information and whether a terminal object built from
// its identifier reaches it; makes a sale on the first, prints its
// client ticket, shows a message and asks for a PIN there; prints the library
// version, stops the service and cleans up.
// Usage: zuva_example_client_host PORT [SECONDS]   (exit 0 when every step succeeded)
#include <zuva/client/JsonObjectFactory.h>
#include <zuva/client/ServiceInformationTransaction.h>
#include <zuva/client/VersionInfo.h>
#include <zuva/client/ZUVAService.h>
#include <zuva/client/mmi/MMICloseTransaction.h>
#include <zuva/client/mmi/ShowMessage.h>
#include <zuva/client/mmi/VerifyPinFlow.h>
#include <zuva/client/transactions/SaleTransaction.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void print(const std::string& line)
{
    std::printf("host: %s\n", line.c_str());
    std::fflush(stdout);
}

// Follows the service: the library calls it on its own threads, except for
// the start and the stop, which it reports inside startService and stopService.
class Listener : public ect::ZUVAServiceListener {
public:
    void onServiceStarted() override { print("service started"); }
    void onServiceStopped() override { print("service stopped"); }
    void onServiceError(ect::ECTError error) override
    {
        print("service error " + error.description());
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        changed_.notify_all();
    }
    void onTerminalEvent(ect::ECTTerminalEvent) override { print("terminal event"); }

    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        print("terminal connected " + terminal->terminalId());
        std::lock_guard<std::mutex> lock(mutex_);
        ++connections_;
        changed_.notify_all();
    }

    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        print("terminal disconnected " + terminal->terminalId());
    }

    // False when the service failed or no terminal came in time.
    bool waitForTerminal(Clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_until(lock, deadline, [this] { return connections_ > 0 || failed_; });
        return connections_ > 0 && !failed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int connections_ = 0;
    bool failed_ = false;
};

// Starts an operation that reports its value to a callback, on a library
// thread, and waits for the value until the deadline.
template <class Value, class Start>
std::optional<Value> await(Start start, Clock::time_point deadline)
{
    const auto promise = std::make_shared<std::promise<Value>>();
    std::future<Value> value = promise->get_future();
    start([promise](const Value& reported) { promise->set_value(reported); });
    if (value.wait_until(deadline) != std::future_status::ready)
        return std::nullopt;
    return value.get();
}

// What became of an operation: its error, the success text, or no answer.
template <class Result>
std::string outcome(const std::optional<Result>& result, const std::string& success)
{
    if (!result)
        return "no answer in time";
    return result->error() ? result->error()->description() : success;
}

template <class Result>
bool succeeded(const std::optional<Result>& result)
{
    return result && !result->error();
}

// Prints what the host can learn about one terminal; true when it is alive
// and told its service information.
bool report(ect::ZUVATerminal& terminal, Clock::time_point deadline)
{
    print("terminal " + terminal.terminalId() + ": model " + terminal.model() + ", serial number "
          + terminal.serialNumber() + ", software " + terminal.softwareVersion());
    print("connection " + terminal.getConnectionDescription());

    const auto alive = await<bool>([&](auto done) { terminal.isAlive(done); }, deadline);
    print(std::string("isAlive ") + (!alive ? "(no answer in time)" : *alive ? "true" : "false"));

    const auto information = await<ect::ServiceInformationResult>(
        [&](auto done) { terminal.send(ect::ServiceInformationTransaction(done)); }, deadline);
    print("service information: "
          + outcome(information, information && information->cashbackEnabled() ? "cash-back enabled"
                                                                                 : "cash-back disabled"));

    // A terminal object built from a terminal document answers for whatever
    // connection carries that identifier.
    const std::shared_ptr<ect::ZUVATerminal> byIdentifier = ect::MakeZUVATerminalFromJSon(
        "{\"terminal\": {\"terminalIdentifier\": \"" + terminal.terminalId() + "\"}}");
    const bool reachable = byIdentifier && byIdentifier->connected();
    print(std::string("built from its identifier: ") + (reachable ? "connected" : "not connected"));
    return alive.value_or(false) && succeeded(information) && reachable;
}

// A sale of 12.50; its result comes with the client ticket the library
// fetched after it. True when it was approved.
bool sell(ect::ZUVATerminal& terminal, Clock::time_point deadline)
{
    const auto sale = await<ect::SaleResult>(
        [&](auto done) { terminal.send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"), done)); },
        deadline);
    print("sale: " + outcome(sale, "approved"));
    if (succeeded(sale)) {
        char amount[32];
        std::snprintf(amount, sizeof amount, "%.2f", sale->authorizedAmount());
        print(std::string("authorized amount ") + amount + ", client ticket:\n" + sale->clientTicket());
    }
    return succeeded(sale);
}

// Shows a message, then asks for the PIN with three attempts; true when the
// PIN was accepted and every step ended well.
bool showMessageAndVerifyPin(ect::ZUVATerminal& terminal, Clock::time_point deadline)
{
    // Stored text 40, in English, for 5 seconds.
    const auto shown = await<ect::MMITransactionResult>(
        [&](auto done) { terminal.send(ect::ShowMessage(40, "en", 5, done)); }, deadline);
    print("message: " + outcome(shown, "shown"));

    // The flow keeps the display open, and the host closes it: it then knows
    // when the terminal is free again (the flow's result comes once its
    // closing screen has been started).
    const ect::EncryptedData pin("0123456789ABCDEF", 1, "FFFF9876543210E00001", "00112233",
                                 ect::ECTEncryptionAlgorithm::None);
    const auto verified = await<ect::VerifyPinResult>(
        [&](auto done) { terminal.send(ect::VerifyPinFlow(pin, "en", 30, 3, true, done)); }, deadline);
    print("PIN: " + outcome(verified, "accepted")
          + (verified ? ", attempts left " + std::to_string(verified->attemptsLeft()) : ""));
    const auto closed = await<ect::MMITransactionResult>(
        [&](auto done) { terminal.send(ect::MMICloseTransaction(done)); }, deadline);
    print("display closed: " + outcome(closed, "yes"));
    return succeeded(shown) && succeeded(verified) && succeeded(closed);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PORT [SECONDS]\n", argv[0]);
        return 2;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(argc > 2 ? std::atoi(argv[2]) : 30);

    Listener listener;
    const std::shared_ptr<ect::ZUVAService> service = ect::makeTcpIpZUVAService(std::atoi(argv[1]), listener);
    service->startService();

    bool ok = listener.waitForTerminal(deadline);
    if (!ok)
        print("no terminal connected in time");
    const std::vector<std::shared_ptr<ect::ZUVATerminal>> terminals = service->connectedTerminals();
    for (const std::shared_ptr<ect::ZUVATerminal>& terminal : terminals)
        ok = report(*terminal, deadline) && ok;
    if (!terminals.empty()) {
        ok = sell(*terminals.front(), deadline) && ok;
        ok = showMessageAndVerifyPin(*terminals.front(), deadline) && ok;
    }
    print("library version " + ect::getLibraryVersion());

    service->stopService();
    ect::cleanup();
    return ok ? 0 : 1;
}
