#pragma once

#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/TransactionDispatcher.h"
#include "foundation/InputStream.h"

#include <QJsonDocument>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace oxa {

// The receiving side of a terminal connection: cuts messages from the input
// stream and hands them to notification handlers or to the pending transaction.
class JsonZUVAResponseHandler {
public:
    virtual ~JsonZUVAResponseHandler() = default;

    // Reads the bytes waiting on the stream and queues every complete message.
    // Called on the thread that reports pending data; never throws.
    virtual void readMessage() = 0;
    // The connection is ending: handles every message read so far before it
    // returns, so that a reply the terminal sent before it went away ends its
    // transaction rather than the disconnection. Called on the handling
    // thread itself (from inside a callback) it returns at once.
    virtual void handleReceived() = 0;
    // Messages of the handler's type go to it and then to the notification
    // callback. A null handler is ignored; a type registered before throws
    // std::invalid_argument "zuva notification handler with key <type> already exists".
    virtual void registerNotificationHandler(std::unique_ptr<JsonZUVAResponse> handler) = 0;
    // Removing an absent type changes nothing.
    virtual void unregisterNotificationHandler(QString messageTypeId) = 0;
    // To be called with false as a transaction starts, and with true whenever
    // transactions end and none awaits a reply: what the frames left of a
    // message still incomplete then is warned of once. Any thread; holds the
    // handler weakly.
    virtual std::function<void(bool ended)> transactionsWatch() = 0;
};

// Translators of the replies the host must hear of though no transaction
// awaits them (a sale's, an entry's), each telling such a reply from others
// of its type. Throws std::invalid_argument "Input stream is null" /
// "Transaction dispatcher is null".
using UnawaitedReplies = std::vector<std::shared_ptr<JsonZUVAResponse const>>;

std::unique_ptr<JsonZUVAResponseHandler> makeJsonZUVAResponseHandler(
    std::shared_ptr<TransactionDispatcher> dispatcher, std::shared_ptr<vorsam::InputStream> inputStream,
    std::function<void(QJsonDocument)> notificationCallback, UnawaitedReplies unawaitedReplies);

} // namespace oxa
