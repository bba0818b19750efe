#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequestHandler.h"
#include "engine/core/JsonZUVAResponseHandler.h"

#include <memory>

namespace oxa {

// The actions a terminal connection accepts, each with its request and
// response translators and its dispatch mode. Every connection gets
// translator objects of its own.
class ZUVATransactionTable {
public:
    // requestHandlerRef lets a translator start a follow-up transaction on the
    // same connection (the delivery confirmation does).
    static void registerTransactions(JsonTransactionRequestHandler& requestHandler,
                                     const std::shared_ptr<OXAEnvironment>& environment,
                                     const std::weak_ptr<JsonTransactionRequestHandler>& requestHandlerRef);
    // The replies the host hears of though no transaction awaits them.
    static UnawaitedReplies unawaitedReplies();
};

} // namespace oxa
