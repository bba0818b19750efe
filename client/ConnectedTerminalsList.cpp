#include "client/ConnectedTerminalsList.h"

#include "client/ZUVATerminal.h"

namespace ect {

ConnectedTerminalsList& ConnectedTerminalsList::getInstance()
{
    // Never destroyed: a service object let go at exit, after this file's
    // statics, still has its service's terminals forgotten here.
    static ConnectedTerminalsList* const list = new ConnectedTerminalsList;
    return *list;
}

void ConnectedTerminalsList::add(std::shared_ptr<ZUVATerminal> terminal, ServiceKey service,
                                 const ZUVAServiceListener* listener)
{
    if (!terminal || !service || !listener)
        return;
    const std::string terminalId = terminal->terminalId();
    std::shared_ptr<ZUVATerminal> replaced; // released after the lock
    std::lock_guard<std::mutex> lock(mutex_);
    Service& entry = services_.emplace(service, Service{listener, {}}).first->second;
    Listed& slot = entry.terminals[terminalId];
    replaced = std::move(slot.terminal);
    slot = Listed{std::move(terminal), ++additions_};
}

void ConnectedTerminalsList::remove(const std::shared_ptr<ZUVATerminal>& terminal, ServiceKey service)
{
    if (!terminal)
        return;
    const std::string terminalId = terminal->terminalId();
    std::shared_ptr<ZUVATerminal> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = services_.find(service);
    if (entry == services_.end())
        return;
    const auto listed = entry->second.terminals.find(terminalId);
    if (listed == entry->second.terminals.end())
        return;
    removed = std::move(listed->second.terminal);
    entry->second.terminals.erase(listed);
}

void ConnectedTerminalsList::removeService(ServiceKey service)
{
    Service removed{nullptr, {}};
    std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = services_.find(service);
    if (entry == services_.end())
        return;
    removed = std::move(entry->second);
    services_.erase(entry);
}

std::map<const ZUVAServiceListener*, ConnectedTerminalsList::Terminals> ConnectedTerminalsList::byListener() const
{
    std::map<const ZUVAServiceListener*, Terminals> listed;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& service : services_) {
        Terminals& terminals = listed[service.second.listener];
        for (const auto& entry : service.second.terminals) {
            Listed& slot = terminals[entry.first];
            if (slot.added < entry.second.added)
                slot = entry.second;
        }
    }
    return listed;
}

std::vector<std::shared_ptr<ZUVATerminal>> ConnectedTerminalsList::valuesOf(const Terminals& terminals)
{
    std::vector<std::shared_ptr<ZUVATerminal>> values;
    for (const auto& entry : terminals)
        values.push_back(entry.second.terminal);
    return values;
}

std::vector<std::shared_ptr<ZUVATerminal>> ConnectedTerminalsList::connectedTerminalsFor(
    const ZUVAServiceListener& listener) const
{
    const auto listed = byListener();
    const auto entry = listed.find(&listener);
    return entry == listed.end() ? std::vector<std::shared_ptr<ZUVATerminal>>() : valuesOf(entry->second);
}

std::vector<std::shared_ptr<ZUVATerminal>> ConnectedTerminalsList::connectedTerminals() const
{
    std::vector<std::shared_ptr<ZUVATerminal>> all;
    for (const auto& entry : byListener()) {
        const auto terminals = valuesOf(entry.second);
        all.insert(all.end(), terminals.begin(), terminals.end());
    }
    return all;
}

std::shared_ptr<ZUVATerminal> ConnectedTerminalsList::getTerminal(const std::string& terminalId) const
{
    for (const auto& terminal : connectedTerminals())
        if (terminal->terminalId() == terminalId)
            return terminal;
    return nullptr;
}

} // namespace ect
