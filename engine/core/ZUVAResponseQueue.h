#pragma once

#include "encoding/ZUVABody.h"
#include "encoding/ZUVAHeader.h"
#include "foundation/LibraryMutex.h"

#include <QObject>

#include <boost/optional.hpp>

#include <deque>
#include <mutex>
#include <utility>

namespace oxa {

// Received messages on their way from the reading thread to the handler thread.
class ZUVAResponseQueue : public QObject {
    Q_OBJECT
public:
    using Message = std::pair<ZUVABody, ZUVAHeader>;

    // Appends the message and emits dataAvailable once for it.
    void push(ZUVABody body, ZUVAHeader header);
    // The oldest message, or none.
    boost::optional<Message> pop();

signals:
    void dataAvailable();

private:
    vorsam::LibraryMutex mutex_;
    std::deque<Message> queue_;
};

} // namespace oxa
