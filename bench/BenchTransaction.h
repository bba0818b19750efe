#pragma once

#include "simterminal/SimMessage.h"

#include <chrono>
#include <string>

// The transaction the end-to-end benchmarks repeat: a sale, or the
// information request when the library does not complete a sale yet.
class BenchTransaction {
public:
    enum class Kind { Sale, Information };

    explicit BenchTransaction(Kind kind) : m_kind(kind) {}

    // A sale when one sale on the terminal succeeds, else the information request.
    static BenchTransaction choose(const std::string& terminalIdentifier);

    Kind kind() const { return m_kind; }
    const char* name() const { return m_kind == Kind::Sale ? "Sale" : "InformationService"; }
    // The request as the host hands it to zuva_sendTransaction.
    const char* request() const;

    // How the simulated terminal answers a sale ("Cd") or information
    // request ("Ci"); empty for any other message.
    static testsupport::Bytes terminalReply(const testsupport::SimMessage& request,
                                            const std::string& terminalIdentifier);
    // Whether a result document is a success (not an error document).
    static bool succeeded(const std::string& result);
    // Sends one request and waits for its result; "" when none came in time.
    static std::string runOnce(const std::string& terminalIdentifier, const char* request,
                               std::chrono::milliseconds deadline);

private:
    Kind m_kind;
};
