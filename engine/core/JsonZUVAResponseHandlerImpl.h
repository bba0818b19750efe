#pragma once

#include "common/ECTError.h"
#include "engine/core/FrameReadings.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/ZUVAResponseQueue.h"
#include "foundation/LibraryMutex.h"
#include "foundation/Runnable.h"
#include "foundation/Thread.h"
#include "foundation/ThreadCaller.h"

#include <QByteArray>
#include <QMap>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace oxa {

// The response handler of one terminal connection; messages are handled on
// "ResponseHandlerThread". Nothing a terminal sends makes it throw: bytes that
// do not start a header are skipped up to the next "MC", bodies that do not
// parse are dropped, and a translator that fails ends the pending transaction
// with code 2, cause 16 InvalidResponse. On a stream with frames, where the
// frames read as messages more than one way (see FrameReadings), messages wait
// until the frames after them leave one reading, or until the line stays quiet
// for the stream's frame gap; what the chosen reading leaves out is dropped
// with one warning a message.
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
    // Cuts the messages a frame holds once the frames read one way; bytes
    // left at its end that cannot begin a message are dropped.
    // A frame holding one whole message, nothing held before it, takes only
    // the cutting lock: 8,037 instructions in readMessage, 7,920 before frames
    // could wait for the frames after them; a flood of one-byte frames that
    // could each begin a message behind a header announcing 9,999 bytes
    // 33,682 a frame, 40,417 before (callgrind, bench_frame_cut, RelWithDebInfo).
    void cutFrame(vorsam::ReceivedFrame frame, unsigned endsBefore);
    // Cuts what the chosen reading takes; held: bytes were held before.
    void cutHeld(bool held, unsigned endsBefore);
    // Drops what the reading leaves out.
    void adopt(FrameReadings::Choice const& choice);
    // Settles the readings once the line has been quiet for the frame gap.
    void awaitQuiet();
    void settleIfQuiet();
    void dropLeftover(int count);
    void dropRepeat(int at, int size, bool undecided);
    // Warns of dropped bytes once a message: the first drop since a message
    // was cut; toHost: the host hears of it, else the log.
    void warnOfDrop(QString const& text, bool toHost);
    // What the cut found for the host, given once the cutting lock is left.
    void reportPendingWarnings();
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
    // Guards the cutting state below: frames are cut on the stream's thread,
    // readings settled on the handler thread.
    vorsam::LibraryMutex cutMutex_;
    QByteArray buffer_;
    FrameReadings readings_;
    std::chrono::steady_clock::time_point lastFrameAt_;
    bool settleAwaited_ = false;
    // Bytes were dropped since the last message was cut.
    bool dropWarned_ = false;
    std::vector<std::string> pendingWarnings_;
    std::shared_ptr<Unfinished> unfinished_ = std::make_shared<Unfinished>();
    // Whether bytes left the buffer since the last note: what it holds now is
    // not what was warned of.
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
