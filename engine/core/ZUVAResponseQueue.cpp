#include "engine/core/ZUVAResponseQueue.h"

namespace oxa {

void ZUVAResponseQueue::push(ZUVABody body, ZUVAHeader header)
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(mutex_);
        queue_.emplace_back(std::move(body), std::move(header));
    }
    emit dataAvailable();
}

boost::optional<ZUVAResponseQueue::Message> ZUVAResponseQueue::pop()
{
    std::lock_guard<vorsam::LibraryMutex> lock(mutex_);
    if (queue_.empty())
        return boost::none;
    Message oldest = std::move(queue_.front());
    queue_.pop_front();
    return oldest;
}

} // namespace oxa
