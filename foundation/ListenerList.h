#pragma once

#include <QDebug>

#include <algorithm>
#include <exception>
#include <list>
#include <memory>
#include <mutex>

namespace vorsam {

// The listeners of a server: registered from any thread, called from the
// server's thread on a copy of the list, outside its lock, so a listener may
// register or unregister from within a call. A listener that throws is
// logged and the others are still called.
template <typename Listener>
class ListenerList {
public:
    // A null listener is ignored; registering the last one again adds nothing.
    void add(std::shared_ptr<Listener> listener)
    {
        if (!listener)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        listeners_.push_back(std::move(listener));
        listeners_.unique();
    }

    void remove(const std::shared_ptr<Listener>& listener)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = std::find(listeners_.begin(), listeners_.end(), listener);
        if (found != listeners_.end())
            listeners_.erase(found);
    }

    template <typename Event, typename Device>
    void notify(Event event, const Device& device, const char* failure) const
    {
        for (const auto& listener : copy()) {
            try {
                ((*listener).*event)(device);
            } catch (const std::exception& e) {
                qDebug() << failure << e.what();
            }
        }
    }

private:
    std::list<std::shared_ptr<Listener>> copy() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return listeners_;
    }

    mutable std::mutex mutex_;
    std::list<std::shared_ptr<Listener>> listeners_;
};

} // namespace vorsam
