#pragma once

#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalConnection.h"
#include "engine/service/TerminalReports.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMultiHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace oxa {

// The terminals of one listener, whatever their transport (a socket, a
// serial port), found by transport and by identifier in constant time, and
// every report to the host about them. One lock guards them; no report is
// made while it is held.
//
// The host hears of a disconnection only for a terminal it was told is
// connected, and after that connected report. A terminal lost while its
// transport stays is reported disconnected in order with its reports under
// way; a terminal whose transport is gone only once its connection has been
// destroyed, which gives every transaction in flight its result first.
// Connections are destroyed on the release thread, whichever thread lets go
// of them last, since destroying one joins its threads.
class TerminalRecords : public std::enable_shared_from_this<TerminalRecords> {
public:
    using Transport = std::shared_ptr<void>;
    class ReportQueue;

    struct Record {
        Transport transport;
        QString terminalIdentifier;
        std::shared_ptr<TerminalConnection> connection;
        // The description the host was given ({"terminal": {...}}).
        QJsonDocument document;
        // Told connected and not yet told disconnected.
        bool reported = false;
        // Never to be reported, found or read: no advice in time, or an
        // identifier that an older connection still has.
        bool givenUp = false;
        // Asked to close already.
        bool closing = false;
        // The link under the transport is up, and how often it came up:
        // an answer to a question asked on an earlier link counts for nothing.
        bool linkUp = false;
        unsigned linkGeneration = 0;
        // Lives on the thread that added the record: the terminal's timers
        // run there and end with the record.
        std::shared_ptr<QObject> timers;
        // Order of adding.
        uint64_t sequence = 0;
        std::shared_ptr<ReportQueue> reports;
    };

    // A callback of the listener takes place only while the records are
    // open: closeAll waits for the visits under way and no visit starts
    // after it. Nothing is locked while a visit lasts.
    class Visit {
    public:
        explicit Visit(const std::weak_ptr<TerminalRecords>& records);
        ~Visit();
        Visit(const Visit&) = delete;
        Visit& operator=(const Visit&) = delete;
        explicit operator bool() const { return m_records != nullptr; }

    private:
        std::shared_ptr<TerminalRecords> m_records;
    };

    // Runs work with the transport while it still exists, on a visit.
    template <typename Held, typename Work>
    static void visit(const std::weak_ptr<TerminalRecords>& records, const std::weak_ptr<Held>& transport, Work&& work)
    {
        const std::shared_ptr<Held> held = transport.lock();
        if (!held)
            return;
        if (const Visit visit{records})
            work(held);
    }

    TerminalRecords(TerminalReports reports, std::shared_ptr<ReleaseThread> releaseThread);
    ~TerminalRecords();
    TerminalRecords(const TerminalRecords&) = delete;
    TerminalRecords& operator=(const TerminalRecords&) = delete;

    // A terminal on a new transport, not identified yet.
    void add(Transport transport, std::unique_ptr<TerminalConnection> connection);
    // Runs change on the transport's record, not given up, under the lock;
    // change never calls the host. False when there is no such record or
    // change returns false.
    bool update(const void* transport, const std::function<bool(Record&)>& change);
    // The connection of the transport's record when update with accept holds.
    std::shared_ptr<TerminalConnection> connectionOf(const void* transport,
                                                     const std::function<bool(Record&)>& accept = nullptr);
    // Identifies the transport's terminal by its description
    // ({"terminal": {"terminalIdentifier": ...}}) when accept takes the
    // record, and reports it connected here, or after the disconnected report
    // of an earlier connection with that identifier still ending. An
    // identifier that an older record still has identifies nothing: the
    // terminal is to connect again once its other connections are gone.
    // Another identifier than the one reported connected is reported
    // disconnected first. Returns the transports to close.
    std::vector<Transport> identify(const void* transport, const QJsonDocument& description,
                                    const std::function<bool(const Record&)>& accept = nullptr);
    // Runs onTimeout after the delay on a visit, on the thread that added the
    // transport's record, unless the record has gone by then; nothing when
    // accept does not take the record now.
    void after(const void* transport, std::chrono::milliseconds delay, std::function<void()> onTimeout,
               const std::function<bool(Record&)>& accept = nullptr);
    // Passes {"event": {...}} on with the terminal's identifier.
    void event(const void* transport, QJsonObject notification);
    // The link to the terminal is down while its transport stays: its
    // transactions in flight now end as on a closed connection, then the host
    // is told that the terminal is no longer connected. Those sent once the
    // link is back go on, however late this is carried out.
    void loseLink(const void* transport);
    // The transport is gone: its record with it.
    void close(const void* transport);
    // Ends every record once no visit is under way: every transaction in
    // flight fails and, once every connection has been destroyed, every
    // terminal reported connected is reported disconnected on this thread.
    void closeAll();
    // Lets no visit start any more and waits for those under way.
    void endVisits();

    // The connection of the oldest record with the identifier; empty for
    // an unknown or empty identifier.
    std::shared_ptr<TerminalConnection> connectionOf(const QString& terminalIdentifier) const;
    Transport transportOf(const QString& terminalIdentifier) const;
    // The descriptions of the terminals reported connected, in adding order.
    std::vector<QJsonDocument> documents() const;

private:
    class Release;
    class QueuedReport;

    Record* find(const void* transport);
    const Record* findIdentified(const QString& terminalIdentifier) const;
    bool take(const void* transport, Record& record);
    std::vector<Record> takeAll();
    void index(Record& record, const QString& terminalIdentifier);
    bool closeOlder(const QString& terminalIdentifier, const Record& newest, std::vector<Transport>& toClose);
    // Add the reports of the record's identification to the queue it had;
    // the caller runs that queue.
    void leaveIdentifier(Record& record);
    void queueConnected(Record& record);
    // Runs the record's reports one at a time in the order made. One made
    // while another runs follows it on that thread; else it runs here, or on
    // the release thread when this thread is not to call the host.
    enum class Where { Here, OnReleaseThread };
    void inOrder(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ReportQueue>& queue,
                 std::function<void()> report, Where where);
    static void append(ReportQueue& queue, std::function<void()> report);
    void runWhenFree(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ReportQueue>& queue, Where where);
    void runReports(std::unique_lock<std::mutex>& lock, ReportQueue& queue);
    std::function<void()> disconnectedReport(const Record& record) const;
    // The disconnected report of a terminal whose transport is gone, to be
    // made once its connection has ended. Until then it keeps its place among
    // the reports on its identifier: a new connection announcing it is
    // reported connected only after it.
    std::function<void()> leavingReport(const Record& record);
    // Keeps the report's place in the queue from now on; the function
    // returned makes it there.
    std::function<void()> placedIn(const std::shared_ptr<ReportQueue>& queue, std::function<void()> report);
    void makeInPlace(const std::shared_ptr<ReportQueue>& queue, QueuedReport& place, std::function<void()> report);
    // Fails the transactions in flight and lets go of the connection; the
    // aftermath runs once the last holder has let go of it too.
    void end(Record record, std::function<void()> aftermath);
    std::shared_ptr<TerminalConnection> destroyedOnReleaseThread(std::unique_ptr<TerminalConnection> connection) const;

    const std::shared_ptr<const TerminalReports> m_reports;
    const std::shared_ptr<ReleaseThread> m_releaseThread;
    mutable std::mutex m_mutex;
    std::unordered_map<const void*, Record> m_records;
    QMultiHash<QString, const void*> m_byIdentifier;
    // The reports of terminals gone whose disconnected report is still to come.
    QHash<QString, std::shared_ptr<ReportQueue>> m_leaving;
    uint64_t m_nextSequence = 0;
    // Connections ended and not yet destroyed.
    const std::shared_ptr<std::atomic<int>> m_ending = std::make_shared<std::atomic<int>>(0);
    std::condition_variable m_visitsOver;
    bool m_open = true;
    int m_visits = 0;
};

} // namespace oxa
