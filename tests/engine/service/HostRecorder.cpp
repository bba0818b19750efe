#include "HostRecorder.h"

#include "support/Wait.h"

#include <QJsonDocument>

namespace testsupport {

namespace {

template <const char* Kind>
void recordAs(const char* json, void* host)
{
    static_cast<HostRecorder*>(host)->record(Kind, json);
}

char Started[] = "started";
char Stopped[] = "stopped";
char Connected[] = "connected";
char Disconnected[] = "disconnected";
char Error[] = "error";
char Notification[] = "notification";
char Result[] = "result";

void releaseUserData(void* host)
{
    static_cast<HostRecorder*>(host)->record("free", "");
}

} // namespace

HostRecorder::~HostRecorder()
{
    stop();
}

zuva_callback HostRecorder::callbackFor(const std::string& kind)
{
    if (kind == Started) return &recordAs<Started>;
    if (kind == Stopped) return &recordAs<Stopped>;
    if (kind == Connected) return &recordAs<Connected>;
    if (kind == Disconnected) return &recordAs<Disconnected>;
    if (kind == Error) return &recordAs<Error>;
    if (kind == Notification) return &recordAs<Notification>;
    return &recordAs<Result>;
}

void* HostRecorder::start(int port)
{
    m_handle = zuva_createTcpIpService(port, callbackFor(Started), callbackFor(Stopped), callbackFor(Connected),
                                       callbackFor(Disconnected), callbackFor(Error), callbackFor(Notification),
                                       this);
    return m_handle;
}

void HostRecorder::stop()
{
    if (m_handle)
        zuva_stopService(m_handle);
    m_handle = nullptr;
}

int HostRecorder::send(const std::string& terminalId, const std::string& json)
{
    zuva_reply_function reply = nullptr;
    void* replyHandle = nullptr;
    return zuva_sendTransaction(terminalId.c_str(), json.c_str(), callbackFor(Result), this, &reply, &replyHandle,
                                &releaseUserData);
}

void HostRecorder::record(const std::string& kind, const char* json)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(Event{kind, json ? json : ""});
    m_changed.notify_all();
}

std::vector<HostRecorder::Event> HostRecorder::events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<QJsonObject> HostRecorder::documents(const std::string& kind) const
{
    std::vector<QJsonObject> documents;
    for (const auto& event : events())
        if (event.kind == kind)
            documents.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(event.json)).object());
    return documents;
}

size_t HostRecorder::count(const std::string& kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const auto& event : m_events)
        n += event.kind == kind ? 1 : 0;
    return n;
}

bool HostRecorder::waitFor(const std::string& kind, size_t wanted, std::chrono::milliseconds deadline) const
{
    return waitUntil([&] { return count(kind) >= wanted; }, deadline);
}

int HostRecorder::position(const std::string& kind, size_t nth) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < m_events.size(); ++i)
        if (m_events[i].kind == kind && nth-- == 0)
            return static_cast<int>(i);
    return -1;
}

} // namespace testsupport
