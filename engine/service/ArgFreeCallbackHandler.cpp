#include "engine/service/ArgFreeCallbackHandler.h"

#include "engine/service/HostCall.h"

namespace oxa {

ArgFreeCallbackHandler::ArgFreeCallbackHandler(zuva_free_function freeFunction, void* userData)
    : m_freeFunction(freeFunction)
    , m_userData(userData)
{
}

ArgFreeCallbackHandler::~ArgFreeCallbackHandler()
{
    if (!m_freeFunction)
        return;
    // Host code like any callback: an exit from it, or one it waits for,
    // must not wait for this thread.
    const HostCall hostCall;
    m_freeFunction(m_userData);
}

} // namespace oxa
