#pragma once

#include "engine/service/OXAZUVAWrapper.h"

namespace oxa {

// Calls the host's free function with its user data when the last callback of
// a transaction that refers to the user data is released.
class ArgFreeCallbackHandler {
public:
    ArgFreeCallbackHandler(zuva_free_function freeFunction, void* userData);
    ~ArgFreeCallbackHandler();
    ArgFreeCallbackHandler(const ArgFreeCallbackHandler&) = delete;
    ArgFreeCallbackHandler& operator=(const ArgFreeCallbackHandler&) = delete;

private:
    zuva_free_function m_freeFunction;
    void* m_userData;
};

} // namespace oxa
