#pragma once

#include "foundation/LibraryMutex.h"

#include <QString>

#include <mutex>

namespace oxa {

// The answer slot of one transaction: the host writes its answer to a
// terminal's question through OnReverseCallback, with the slot's address as
// reply handle; the library reads it once the host's callback has returned.
class ReverseCallbackResponse {
public:
    static void OnReverseCallback(const char* answer, void* replyHandle);

    QString answer() const;

private:
    mutable vorsam::LibraryMutex m_mutex;
    QString m_answer;
};

} // namespace oxa
