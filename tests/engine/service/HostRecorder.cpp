#include "HostRecorder.h"

#include "support/StackSize.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

const char* const Kinds[] = {"started", "stopped", "connected", "disconnected", "error", "notification", "result"};

template <size_t Kind>
void recordAs(const char* json, void* host)
{
    static_cast<HostRecorder*>(host)->record(Kinds[Kind], json);
}

void releaseUserData(void* host)
{
    static_cast<HostRecorder*>(host)->record("free", "");
}

} // namespace

zuva_callback HostRecorder::callbackFor(const std::string& kind)
{
    static const zuva_callback callbacks[] = {&recordAs<0>, &recordAs<1>, &recordAs<2>, &recordAs<3>,
                                              &recordAs<4>, &recordAs<5>, &recordAs<6>};
    size_t index = 0;
    while (index < 6 && kind != Kinds[index])
        ++index;
    return callbacks[index];
}

void* HostRecorder::start(int port)
{
    m_handle = zuva_createTcpIpService(port, callbackFor("started"), callbackFor("stopped"), callbackFor("connected"),
                                       callbackFor("disconnected"), callbackFor("error"), callbackFor("notification"),
                                       this);
    return m_handle;
}

void* HostRecorder::startSerial(const std::string& port)
{
    m_handle = zuva_start_serial_service(port.c_str(), callbackFor("started"), callbackFor("stopped"),
                                         callbackFor("connected"), callbackFor("disconnected"), callbackFor("error"),
                                         callbackFor("notification"), this);
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
    return zuva_sendTransaction(terminalId.c_str(), json.c_str(), callbackFor("result"), this, &reply, &replyHandle,
                                &releaseUserData);
}

void HostRecorder::record(const std::string& kind, const char* json)
{
    // Host code needs room: no callback may come on a small worker stack.
    EXPECT_GE(currentStackSize(), HostCodeStack) << kind << " callback";
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(Event{kind, json ? json : "", std::this_thread::get_id()});
}

std::function<void(QJsonDocument)> HostRecorder::recorderFor(const std::string& kind)
{
    return [this, kind](QJsonDocument document) { record(kind, document.toJson().constData()); };
}

std::vector<QJsonObject> HostRecorder::documents(const std::string& kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<QJsonObject> documents;
    for (const auto& event : m_events)
        if (event.kind == kind)
            documents.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(event.json)).object());
    return documents;
}

std::vector<std::thread::id> HostRecorder::threads(const std::string& kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::thread::id> threads;
    for (const auto& event : m_events)
        if (event.kind == kind)
            threads.push_back(event.thread);
    return threads;
}

QJsonObject HostRecorder::first(const std::string& kind) const
{
    const auto all = documents(kind);
    return all.empty() ? QJsonObject() : all.front();
}

QJsonObject HostRecorder::last(const std::string& kind) const
{
    const auto all = documents(kind);
    return all.empty() ? QJsonObject() : all.back();
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
