#include "engine/service/TerminalRecords.h"

#include "foundation/Thread.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <deque>

namespace oxa {

// A report that keeps its place until it can be made (that of a connection
// still ending) holds back those made after it.
class TerminalRecords::QueuedReport {
public:
    std::function<void()> make;
    bool ready = true;
};

class TerminalRecords::ReportQueue {
public:
    std::deque<std::shared_ptr<QueuedReport>> waiting;
    bool running = false;
    // The identifier of a terminal gone whose disconnected report is to come.
    QString leaving;
};

// Destroys the connection on the release thread, then runs the aftermath
// that end() has set: it is set while end() still holds a reference, so the
// destruction, which comes after the last one is gone, sees it. The
// aftermath leaves the deleter, which lives as long as the weak references.
class TerminalRecords::Release {
public:
    explicit Release(std::shared_ptr<ReleaseThread> releaseThread)
        : m_releaseThread(std::move(releaseThread))
    {
    }

    void operator()(TerminalConnection* ended)
    {
        m_releaseThread->post([ended, aftermath = std::move(m_aftermath)] {
            delete ended;
            if (aftermath)
                aftermath();
        });
    }

    std::function<void()>& aftermath() { return m_aftermath; }

private:
    std::shared_ptr<ReleaseThread> m_releaseThread;
    std::function<void()> m_aftermath;
};

TerminalRecords::Visit::Visit(const std::weak_ptr<TerminalRecords>& weakRecords)
{
    const auto records = weakRecords.lock();
    if (!records)
        return;
    std::lock_guard<std::mutex> lock(records->m_mutex);
    if (!records->m_open)
        return;
    ++records->m_visits;
    m_records = records;
}

TerminalRecords::Visit::~Visit()
{
    if (!m_records)
        return;
    std::lock_guard<std::mutex> lock(m_records->m_mutex);
    if (--m_records->m_visits == 0)
        m_records->m_visitsOver.notify_all();
}

TerminalRecords::TerminalRecords(TerminalReports reports, std::shared_ptr<ReleaseThread> releaseThread)
    : m_reports(std::make_shared<const TerminalReports>(std::move(reports)))
    , m_releaseThread(std::move(releaseThread))
{
}

TerminalRecords::~TerminalRecords() = default;

void TerminalRecords::add(Transport transport, std::unique_ptr<TerminalConnection> connection)
{
    Record record;
    record.transport = std::move(transport);
    record.connection = destroyedOnReleaseThread(std::move(connection));
    record.timers = std::make_shared<QObject>();
    record.reports = std::make_shared<ReportQueue>();
    std::lock_guard<std::mutex> lock(m_mutex);
    record.sequence = m_nextSequence++;
    const void* key = record.transport.get();
    m_records.emplace(key, std::move(record));
}

std::shared_ptr<TerminalConnection>
TerminalRecords::destroyedOnReleaseThread(std::unique_ptr<TerminalConnection> connection) const
{
    return std::shared_ptr<TerminalConnection>(connection.release(), Release(m_releaseThread));
}

TerminalRecords::Record* TerminalRecords::find(const void* transport)
{
    const auto found = m_records.find(transport);
    return found == m_records.end() || found->second.givenUp ? nullptr : &found->second;
}

bool TerminalRecords::update(const void* transport, const std::function<bool(Record&)>& change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Record* record = find(transport);
    return record && change(*record);
}

std::shared_ptr<TerminalConnection> TerminalRecords::connectionOf(const void* transport,
                                                                  const std::function<bool(Record&)>& accept)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Record* record = find(transport);
    return record && (!accept || accept(*record)) ? record->connection : nullptr;
}

std::vector<TerminalRecords::Transport> TerminalRecords::identify(const void* transport,
                                                                  const QJsonDocument& description,
                                                                  const std::function<bool(const Record&)>& accept)
{
    const QString identifier = description.object()
                                   .value(QStringLiteral("terminal"))
                                   .toObject()
                                   .value(QStringLiteral("terminalIdentifier"))
                                   .toString();
    if (identifier.isEmpty())
        return {};
    std::unique_lock<std::mutex> lock(m_mutex);
    Record* record = find(transport);
    if (!record || (accept && !accept(*record)))
        return {};
    const std::shared_ptr<ReportQueue> reports = record->reports;
    if (record->terminalIdentifier != identifier)
        leaveIdentifier(*record);
    record->document = description;
    index(*record, identifier);
    std::vector<Transport> toClose;
    if (closeOlder(identifier, *record, toClose)) {
        record->givenUp = true;
        toClose.push_back(record->transport);
    } else {
        queueConnected(*record);
    }
    runWhenFree(lock, reports, Where::Here);
    return toClose;
}

// A terminal that announces another identifier on its transport: the host
// hears that the one it had is gone, so that each connected report has its
// disconnected one.
void TerminalRecords::leaveIdentifier(Record& record)
{
    if (std::function<void()> report = disconnectedReport(record))
        append(*record.reports, std::move(report));
    record.reported = false;
}

// After the reports on the record so far, and after the disconnected report
// of an earlier connection with the identifier that is still ending.
void TerminalRecords::queueConnected(Record& record)
{
    record.reported = true;
    const std::weak_ptr<TerminalConnection> connection = record.connection;
    std::function<void()> report = [reports = m_reports, description = record.document, connection] {
        reports->connected(description, connection);
    };
    const std::shared_ptr<ReportQueue> own = record.reports;
    const std::shared_ptr<ReportQueue> leaving = m_leaving.value(record.terminalIdentifier);
    if (leaving && leaving != own) {
        report = placedIn(leaving, std::move(report));
        record.reports = leaving;
    }
    append(*own, std::move(report));
}

void TerminalRecords::index(Record& record, const QString& terminalIdentifier)
{
    if (record.terminalIdentifier == terminalIdentifier)
        return;
    const void* key = record.transport.get();
    m_byIdentifier.remove(record.terminalIdentifier, key);
    record.terminalIdentifier = terminalIdentifier;
    m_byIdentifier.insert(terminalIdentifier, key);
}

bool TerminalRecords::closeOlder(const QString& terminalIdentifier, const Record& newest,
                                 std::vector<Transport>& toClose)
{
    bool found = false;
    for (const void* key : m_byIdentifier.values(terminalIdentifier)) {
        Record& record = m_records.at(key);
        if (&record == &newest || record.givenUp)
            continue;
        found = true;
        if (!record.closing) {
            record.closing = true;
            toClose.push_back(record.transport);
        }
    }
    return found;
}

void TerminalRecords::after(const void* transport, std::chrono::milliseconds delay, std::function<void()> onTimeout,
                            const std::function<bool(Record&)>& accept)
{
    std::shared_ptr<QObject> timers;
    update(transport, [&](Record& record) {
        if (accept && !accept(record))
            return false;
        timers = record.timers;
        return true;
    });
    if (!timers)
        return;
    QObject* const target = timers.get();
    const std::weak_ptr<TerminalRecords> records = shared_from_this();
    // Started on the thread of the timers, here or there.
    QMetaObject::invokeMethod(target, [target, delay, records, onTimeout] {
        QTimer::singleShot(delay, target, [records, onTimeout] {
            if (const Visit visit{records})
                onTimeout();
        });
    });
}

void TerminalRecords::event(const void* transport, QJsonObject notification)
{
    std::weak_ptr<TerminalConnection> connection;
    QString identifier;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Record* record = find(transport);
        if (!record)
            return;
        identifier = record->terminalIdentifier;
        connection = record->connection;
    }
    m_reports->event(std::move(notification), identifier, connection);
}

void TerminalRecords::loseLink(const void* transport)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Record* record = find(transport);
    if (!record)
        return;
    record->linkUp = false;
    // The transactions in flight get their results before the host hears of
    // the loss. Ending them waits for the response handler, which may be
    // inside a host callback: no listener thread waits for it. The release
    // thread may be busy until the link is back: what is sent on it by then
    // goes on.
    const std::weak_ptr<TerminalConnection> weakConnection = record->connection;
    const std::uint64_t sentBy = record->connection->sentSoFar();
    inOrder(
        lock, record->reports,
        [weakConnection, sentBy, report = disconnectedReport(*record)] {
            if (const auto connection = weakConnection.lock())
                connection->onLinkLost(sentBy);
            if (report)
                report();
        },
        Where::OnReleaseThread);
    record->reported = false;
}

void TerminalRecords::inOrder(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ReportQueue>& queue,
                              std::function<void()> report, Where where)
{
    append(*queue, std::move(report));
    runWhenFree(lock, queue, where);
}

void TerminalRecords::append(ReportQueue& queue, std::function<void()> report)
{
    queue.waiting.push_back(std::make_shared<QueuedReport>(QueuedReport{std::move(report), true}));
}

void TerminalRecords::runWhenFree(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ReportQueue>& queue,
                                  Where where)
{
    if (queue->running)
        return;
    queue->running = true;
    if (where == Where::Here) {
        runReports(lock, *queue);
        return;
    }
    m_releaseThread->post([records = shared_from_this(), queue] {
        std::unique_lock<std::mutex> lock(records->m_mutex);
        records->runReports(lock, *queue);
    });
}

void TerminalRecords::runReports(std::unique_lock<std::mutex>& lock, ReportQueue& queue)
{
    while (!queue.waiting.empty() && queue.waiting.front()->ready) {
        const std::function<void()> report = std::move(queue.waiting.front()->make);
        queue.waiting.pop_front();
        lock.unlock();
        report();
        lock.lock();
    }
    queue.running = false;
    // Reports on the identifier made from now on need not wait for this queue.
    if (queue.waiting.empty() && !queue.leaving.isEmpty()) {
        if (m_leaving.value(queue.leaving).get() == &queue)
            m_leaving.remove(queue.leaving);
        queue.leaving.clear();
    }
}

std::function<void()> TerminalRecords::disconnectedReport(const Record& record) const
{
    if (!record.reported)
        return nullptr;
    const std::weak_ptr<TerminalConnection> connection = record.connection;
    return
        [reports = m_reports, connection, document = record.document] { reports->disconnected(document, connection); };
}

bool TerminalRecords::take(const void* transport, Record& record)
{
    const auto found = m_records.find(transport);
    if (found == m_records.end())
        return false;
    record = std::move(found->second);
    m_records.erase(found);
    m_byIdentifier.remove(record.terminalIdentifier, transport);
    return true;
}

void TerminalRecords::close(const void* transport)
{
    Record record;
    std::function<void()> report;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!take(transport, record))
            return;
        report = leavingReport(record);
    }
    end(std::move(record), std::move(report));
}

std::function<void()> TerminalRecords::leavingReport(const Record& record)
{
    std::function<void()> report = disconnectedReport(record);
    if (!report)
        return nullptr;
    record.reports->leaving = record.terminalIdentifier;
    m_leaving.insert(record.terminalIdentifier, record.reports);
    return placedIn(record.reports, std::move(report));
}

std::function<void()> TerminalRecords::placedIn(const std::shared_ptr<ReportQueue>& queue, std::function<void()> report)
{
    const auto place = std::make_shared<QueuedReport>(QueuedReport{nullptr, false});
    queue->waiting.push_back(place);
    return [records = weak_from_this(), queue, place, report = std::move(report)] {
        if (const auto held = records.lock())
            held->makeInPlace(queue, *place, report);
        else
            report();
    };
}

void TerminalRecords::makeInPlace(const std::shared_ptr<ReportQueue>& queue, QueuedReport& place,
                                  std::function<void()> report)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    place.make = std::move(report);
    place.ready = true;
    runWhenFree(lock, queue, Where::Here);
}

void TerminalRecords::end(Record record, std::function<void()> aftermath)
{
    ++*m_ending;
    std::get_deleter<Release>(record.connection)->aftermath() = [aftermath, ending = m_ending] {
        if (aftermath)
            aftermath();
        --*ending;
    };
    // Ending lets the replies already read be handled first, which may take
    // as long as a host callback: no listener thread waits for it.
    m_releaseThread->post([connection = std::move(record.connection)]() mutable {
        connection->onClose();
        connection.reset();
    });
}

void TerminalRecords::endVisits()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_open = false;
    const vorsam::Thread::Waiting forTheVisits;
    m_visitsOver.wait(lock, [this] { return m_visits == 0; });
}

std::vector<TerminalRecords::Record> TerminalRecords::takeAll()
{
    std::vector<Record> records;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_records)
        records.push_back(std::move(entry.second));
    m_records.clear();
    m_byIdentifier.clear();
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.sequence < b.sequence; });
    return records;
}

void TerminalRecords::closeAll()
{
    endVisits();
    std::vector<std::function<void()>> reports;
    for (Record& record : takeAll()) {
        reports.push_back(disconnectedReport(record));
        end(std::move(record), nullptr);
    }
    const std::shared_ptr<std::atomic<int>> ending = m_ending;
    m_releaseThread->await([ending] { return *ending == 0; });
    for (const auto& report : reports)
        if (report)
            report();
}

const TerminalRecords::Record* TerminalRecords::findIdentified(const QString& terminalIdentifier) const
{
    const Record* oldest = nullptr;
    for (const void* key : m_byIdentifier.values(terminalIdentifier)) {
        const Record& record = m_records.at(key);
        if (!record.givenUp && (!oldest || record.sequence < oldest->sequence))
            oldest = &record;
    }
    return oldest;
}

std::shared_ptr<TerminalConnection> TerminalRecords::connectionOf(const QString& terminalIdentifier) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Record* record = findIdentified(terminalIdentifier);
    return record ? record->connection : nullptr;
}

TerminalRecords::Transport TerminalRecords::transportOf(const QString& terminalIdentifier) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Record* record = findIdentified(terminalIdentifier);
    return record ? record->transport : nullptr;
}

std::vector<QJsonDocument> TerminalRecords::documents() const
{
    std::vector<const Record*> reported;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_records)
        if (entry.second.reported)
            reported.push_back(&entry.second);
    std::sort(reported.begin(), reported.end(),
              [](const Record* a, const Record* b) { return a->sequence < b->sequence; });
    std::vector<QJsonDocument> documents;
    for (const Record* record : reported)
        documents.push_back(record->document);
    return documents;
}

} // namespace oxa
