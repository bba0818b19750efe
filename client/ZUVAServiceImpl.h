#pragma once

#include "client/ZUVAService.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ect {

class ServiceSession;

// The service behind the factories. Each startService creates one service in
// the C interface through the starter; the service's callbacks reach the
// listener and the connected-terminals list through a record of that
// service which lives until the C interface reports it stopped. Destroying
// the object stops its services.
class ZUVAServiceImpl : public ZUVAService {
public:
    using CCallback = void (*)(const char* json, void* userData);
    // The C interface's service callbacks, in its order.
    struct Callbacks {
        CCallback started, stopped, connected, disconnected, error, notification;
    };
    // Creates a service in the C interface with these callbacks and user
    // data; returns its handle, null when it did not start.
    using Starter = std::function<void*(const Callbacks& callbacks, void* userData)>;

    // Brings the library's service registry into being.
    ZUVAServiceImpl(ZUVAServiceListener& listener, Starter starter);
    ~ZUVAServiceImpl() override;

    void startService() override;
    void stopService() override;
    Settings settings() const override;
    void updateSettings(const Settings& settings) override;
    std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminals() override;
    std::shared_ptr<ZUVATerminal> getTerminal(std::string terminalId) override;

private:
    ZUVAServiceListener& listener_;
    Starter starter_;
    std::mutex mutex_; // guards sessions_
    std::vector<std::shared_ptr<ServiceSession>> sessions_;
};

} // namespace ect
