#include "engine/service/ArgFreeCallbackHandler.h"

namespace oxa {

ArgFreeCallbackHandler::ArgFreeCallbackHandler(zuva_free_function freeFunction, void* userData)
    : m_freeFunction(freeFunction)
    , m_userData(userData)
{
}

ArgFreeCallbackHandler::~ArgFreeCallbackHandler()
{
    if (m_freeFunction)
        m_freeFunction(m_userData);
}

} // namespace oxa
