#pragma once

#include "common/ECTError.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/ZUVAResponseQueue.h"
#include "foundation/LibraryMutex.h"
#include "foundation/Runnable.h"
#include "foundation/Thread.h"
#include "foundation/ThreadCaller.h"

#include <QByteArray>
#include <QMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace oxa {

// The response handler of one terminal connection; messages are handled on
// "ResponseHandlerThread". Nothing a terminal sends makes it throw: bytes that
// do not start a header are skipped up to the next "MC", bodies that do not
// parse are dropped, and a translator that fails ends the pending transaction
// with code 2, cause 16 InvalidResponse. On a stream with frames a frame that
// follows an incomplete message continues it unless the messages read as their
// headers announce only when it starts a new one: then what the frames before
// it left is dropped with a warning.
class JsonZUVAResponseHandlerImpl : public vorsam::Runnable, public JsonZUVAResponseHandler {
    Q_OBJECT
public:
    JsonZUVAResponseHandlerImpl(std::shared_ptr<TransactionDispatcher> dispatcher,
                                std::shared_ptr<vorsam::InputStream> inputStream,
                                std::function<void(QJsonDocument)> notificationCallback,
                                UnawaitedReplies unawaitedReplies);
    ~JsonZUVAResponseHandlerImpl() override;

    void readMessage() override;
    void handleReceived() override;
    void registerNotificationHandler(std::unique_ptr<JsonZUVAResponse> handler) override;
    void unregisterNotificationHandler(QString messageTypeId) override;
    std::function<void(bool ended)> transactionsWatch() override;

    void startTask() override;
    void onFinished() override;

public slots:
    void handleResponse();

private:
    // What the frames left of an incomplete message, shared with the callback
    // of the end of transactions; warned of once, there or where it is dropped.
    struct Unfinished {
        vorsam::LibraryMutex mutex;
        QByteArray bytes;
        bool reported = false;
        // How often the transactions have ended, to tell an end that came
        // while a frame was being cut, and whether none has started since.
        unsigned ends = 0;
        bool ended = true;
    };

    // Handles the oldest queued message; false when there is none.
    bool handleNext();
    // Cuts the next message off the buffer and queues it, or drops bytes that
    // do not parse; false when no whole message is buffered.
    bool parseZUVAMessage();
    // Cuts the messages a frame holds. A frame continues what the frames
    // before it left unless a frame that could begin a message reads better as
    // its start (see chooseStart); bytes left at its end that cannot begin a
    // message are dropped. Each drop is warned of.
    // A frame holding one whole message, nothing held before it, takes no
    // lock: 7,411 instructions in readMessage, 7,260 before frames were read
    // as continuations (callgrind, 2,000 frames).
    void cutFrame(QByteArray frame, unsigned endsBefore);
    // Where the buffer's messages begin: at its start, or at the frame after
    // it under which they read best (all whole, else the last still
    // incomplete), the earliest among equals. Forgets the frames under which
    // they cannot read.
    int chooseStart();
    void dropLeftover(int count);
    // Keeps the frame starts that lie after the first count bytes.
    void forgetRestartsBefore(int count);
    // Notes what the frames have left for the end of transactions, and warns
    // of it at once when they ended since endsBefore and none has started.
    void noteUnfinished(unsigned endsBefore);
    unsigned endsSoFar() const;
    static QString reportUnfinished(Unfinished& unfinished);
    // fate: what became of the leftover.
    static QString describeLeftover(QByteArray const& leftover, QString const& fate);
    void skipToNextPossibleHeader();
    void clearBuffer(int count);

    void handleMessage(ZUVABody const& body, ZUVAHeader const& header);
    void handleNotification(JsonZUVAResponse& handler, ZUVABody const& body, ZUVAHeader const& header);
    static bool isRequestRejected(ZUVABody const& body);
    static bool isErrorResponse(ZUVABody const& body);
    // An error incident code in a reply other than a rejection.
    static bool isErrorIncident(ZUVABody const& body);
    // error: the body is an error reply or a rejection.
    TransactionDispatcher::ReplyOwner findOwner(ZUVABody const& body, bool error) const;
    std::shared_ptr<JsonZUVAResponse> findNotificationHandler(QString const& messageTypeId) const;
    void handleTransactionResponse(ZUVABody const& body, QSharedPointer<ZUVATransaction> const& transaction);
    void handleError(ZUVABody const& body, QSharedPointer<ZUVATransaction> const& transaction);
    void closeTransactionWithError(ect::ECTError const& error, QSharedPointer<ZUVATransaction> const& transaction,
                                   ZUVABody const& body);
    void closeTransaction(QJsonDocument const& document, QSharedPointer<ZUVATransaction> const& transaction,
                          ZUVABody const& body);
    // Tells the host, once, of a reply to a transaction that failed without
    // it, or of a sale's reply that no transaction took (naming the one that
    // waited, if any), and logs a repeated reply of an ended transaction;
    // false when the reply is none of these.
    bool reportLateReply(ZUVABody const& body, boost::optional<ReplyMatcher::Ended> const& ended,
                         ZUVATransaction const* waiting);
    static void warnOfResentReply(ReplyMatcher::Ended const& ended, ZUVABody const& body);
    // The same for a reply whose transaction in flight has ended meanwhile or
    // does not expect it.
    bool reportLateReply(ZUVABody const& body, ZUVATransaction const* waiting);
    static QString unawaited(ZUVATransaction const* waiting);
    JsonZUVAResponse const* unawaitedTranslatorOf(ZUVABody const& body) const;
    void warnOfLateReply(QString const& circumstance, JsonZUVAResponse const* translator, ZUVABody const& body);
    static QString lateReplyFacts(JsonZUVAResponse const* translator, ZUVABody const& body);

    std::shared_ptr<vorsam::InputStream> inputStream_;
    std::shared_ptr<TransactionDispatcher> dispatcher_;
    QByteArray buffer_;
    // Offsets in the buffer of the frames after its first that could begin a
    // message: where the message at its start may have ended cut short instead.
    std::vector<int> restarts_;
    std::shared_ptr<Unfinished> unfinished_ = std::make_shared<Unfinished>();
    // Whether bytes left the buffer's front since the last note: what it
    // holds now is not what was warned of.
    bool leftoverChanged_ = false;
    mutable vorsam::LibraryMutex handlersMutex_;
    QMap<QString, std::shared_ptr<JsonZUVAResponse>> notificationHandlers_;
    std::function<void(QJsonDocument)> notificationCallback_;
    std::unique_ptr<ZUVAResponseQueue> responseQueue_;
    UnawaitedReplies unawaitedReplies_;
    // Runs the handling of what is queued on the handler thread for a closing connection.
    vorsam::ThreadCaller caller_;
    std::atomic<QThread*> handlingThread_{nullptr};
    vorsam::Thread thread_;
};

} // namespace oxa
