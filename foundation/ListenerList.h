#pragma once

#include "foundation/ProcessExit.h"

#include <QDebug>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace vorsam {

// The listeners of a server: registered from any thread, called from the
// server's threads on a snapshot of the list, outside its lock, so a listener
// may register or unregister from within a call. A change makes a new
// snapshot; an event only takes a reference to the current one. A listener that throws is
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
        if (!listeners_->empty() && listeners_->back() == listener)
            return;
        auto changed = std::make_shared<List>(*listeners_);
        changed->push_back(std::move(listener));
        listeners_ = std::move(changed);
    }

    void remove(const std::shared_ptr<Listener>& listener)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto changed = std::make_shared<List>(*listeners_);
        const auto found = std::find(changed->begin(), changed->end(), listener);
        if (found == changed->end())
            return;
        changed->erase(found);
        listeners_ = std::move(changed);
    }

    template <typename Event, typename Device>
    void notify(Event event, const Device& device, const char* failure) const
    {
        const std::shared_ptr<const List> listeners = snapshot();
        for (const auto& listener : *listeners) {
            try {
                ((*listener).*event)(device);
            } catch (const std::exception& e) {
                // Once the exit has left the rest, a refused thread start is
                // expected, and Qt's logging may meet destroyed statics.
                if (!ProcessExit::restLeft())
                    qDebug() << failure << e.what();
            }
        }
    }

private:
    using List = std::vector<std::shared_ptr<Listener>>;

    std::shared_ptr<const List> snapshot() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return listeners_;
    }

    mutable std::mutex mutex_;
    std::shared_ptr<const List> listeners_ = std::make_shared<const List>();
};

} // namespace vorsam
