#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ect {

class ZUVAServiceListener;
class ZUVATerminal;

// The process-wide record of connected terminals, per running service and
// the listener it reports to. Each service keeps one terminal per
// identifier; the queries show each identifier once per listener, the one
// that connected last, so a terminal reconnected through another service of
// the same listener is not listed twice, and stopping that service shows the
// other's again. Every operation is thread-safe; none calls out while
// holding the lock.
class ConnectedTerminalsList {
public:
    // A running service, as the list knows it: any address unique while it runs.
    using ServiceKey = const void*;

    static ConnectedTerminalsList& getInstance();

    // Lists the terminal under its identifier, replacing one listed before.
    // An empty terminal, a null service or a null listener changes nothing.
    void add(std::shared_ptr<ZUVATerminal> terminal, ServiceKey service, const ZUVAServiceListener* listener);
    // Removes whatever terminal the service lists under this one's identifier.
    void remove(const std::shared_ptr<ZUVATerminal>& terminal, ServiceKey service);
    // Forgets the service with its terminals.
    void removeService(ServiceKey service);

    // The terminals of every service reporting to the listener, by identifier.
    std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminalsFor(const ZUVAServiceListener& listener) const;
    // Every listed terminal: listeners by address, then identifiers.
    std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminals() const;
    // The first of connectedTerminals() with that identifier, or empty.
    std::shared_ptr<ZUVATerminal> getTerminal(const std::string& terminalId) const;

private:
    struct Listed {
        std::shared_ptr<ZUVATerminal> terminal;
        std::uint64_t added = 0; // order of the additions, from 1: the newest stands
    };
    using Terminals = std::map<std::string, Listed>;
    struct Service {
        const ZUVAServiceListener* listener;
        Terminals terminals;
    };

    // Ordered by listener address, then identifier.
    std::map<const ZUVAServiceListener*, Terminals> byListener() const;
    static std::vector<std::shared_ptr<ZUVATerminal>> valuesOf(const Terminals& terminals);

    mutable std::mutex mutex_;
    std::map<ServiceKey, Service> services_;
    std::uint64_t additions_ = 0;
};

} // namespace ect
