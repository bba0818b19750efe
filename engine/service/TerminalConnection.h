#pragma once

#include <QJsonDocument>

#include <cstdint>
#include <functional>

namespace oxa {

// The whole per-terminal stack (request handler, dispatcher, response handler)
// behind one interface. Listeners hold it shared and hand out weak pointers.
class TerminalConnection {
public:
    virtual ~TerminalConnection() = default;

    // Throws whatever the request handler throws for a request it refuses,
    // leaving the callbacks to the caller; takes them when it accepts it.
    virtual void makeTransaction(QJsonDocument document, std::function<void(QJsonDocument)>&& resultCallback,
                                 std::function<QJsonDocument(QJsonDocument)>&& reverseCallback) = 0;
    // Fails the transaction in flight with code 2, cause 30 ResetTransaction.
    virtual void resetTransactions() = 0;
    virtual void enableNotifications(bool enable) = 0;
    // Bytes are waiting on the transport; called on the transport's thread.
    virtual void onDataReady() = 0;
    // The transport is gone: the replies already read are handled first, then
    // every transaction still in flight receives code 2, cause 18
    // NetworkError. The connection stays usable.
    // Waits for the response handler, which may be inside a host callback.
    virtual void onClose() = 0;
    // How many messages have been sent so far: a mark for onLinkLost.
    virtual std::uint64_t sentSoFar() const = 0;
    // The link on the transport was lost when the mark was taken: as
    // onClose(), except that only the transactions sent by the mark fail.
    // Those sent once the link was back, whenever this runs, go on.
    virtual void onLinkLost(std::uint64_t sentBy) = 0;
};

} // namespace oxa
