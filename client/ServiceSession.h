#pragma once

#include "client/ZUVAServiceImpl.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace ect {

// One service created in the C interface. A heap shared pointer to it is the
// user data of the service's callbacks, released when the C interface
// reports the service stopped (or when it did not start). Its callbacks hand
// the C interface's documents to the listener and the connected-terminals
// list, and keep whatever those throw from the C interface.
class ServiceSession : public std::enable_shared_from_this<ServiceSession> {
public:
    explicit ServiceSession(ZUVAServiceListener& listener);

    // False when the service did not start. A stop asked for before the
    // start has returned (inside onServiceStarted, say) is made as it returns.
    bool start(const ZUVAServiceImpl::Starter& starter);
    void stop();

private:
    using UserData = std::shared_ptr<ServiceSession>;

    static const ZUVAServiceImpl::Callbacks callbacks;

    // Unless it has stopped already: its handle may have been reused since.
    void stopStarted(void* handle) const;

    static ServiceSession* sessionOf(void* userData);
    // By the stopped callback, or after a start that failed: no callback follows.
    static void release(void* userData);

    static void onStarted(const char* text, void* userData);
    static void onStopped(const char* text, void* userData);
    static void onConnected(const char* text, void* userData);
    static void onDisconnected(const char* text, void* userData);
    static void onError(const char* text, void* userData);
    static void onNotification(const char* text, void* userData);

    ZUVAServiceListener& listener_;
    std::mutex mutex_; // guards handle_ and stopAsked_
    // Null until the start has returned it.
    void* handle_ = nullptr;
    bool stopAsked_ = false;
    std::atomic<bool> stopped_{false};
};

} // namespace ect
