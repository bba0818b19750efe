#include "engine/service/ReverseCallbackResponse.h"

namespace oxa {

void ReverseCallbackResponse::OnReverseCallback(const char* answer, void* replyHandle)
{
    if (!replyHandle)
        return;
    auto* slot = static_cast<ReverseCallbackResponse*>(replyHandle);
    std::lock_guard<vorsam::LibraryMutex> lock(slot->m_mutex);
    slot->m_answer = answer ? QString::fromUtf8(answer) : QString();
}

QString ReverseCallbackResponse::answer() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(m_mutex);
    return m_answer;
}

} // namespace oxa
