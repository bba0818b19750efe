#pragma once

#include "link/State.h"

namespace kiss {

// The link is down: probe the terminal with empty frames until one is acknowledged.
class StateConnect : public State {
public:
    explicit StateConnect(std::shared_ptr<SharedData> shared);

    void start() override;
    QString getName() const override;
    void onTimer() override;
};

} // namespace kiss
