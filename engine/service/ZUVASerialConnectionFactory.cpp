#include "engine/service/ZUVASerialConnectionFactory.h"

#include "common/ECTError.h"
#include "engine/core/JsonTransactionRequestHandler.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"
#include "engine/service/ZUVATerminalConnection.h"
#include "link/Kiss.h"
#include "translators/ZUVATransactionTable.h"

#include <QString>

#include <exception>

namespace oxa {

namespace {

boost::optional<std::chrono::milliseconds> heartBeatInterval(OXAEnvironment const& environment)
{
    const int interval = environment.get(QStringLiteral("serialHeartBeatInterval")).toInt();
    if (interval <= 0)
        return boost::none;
    return std::chrono::milliseconds(interval);
}

ect::ECTError networkError()
{
    return ect::ECTError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError);
}

// What a link callback needs to reach the connection's dispatcher. It
// holds no reference between calls, so the link never keeps a dropped
// connection's dispatcher alive.
struct DispatcherOfLink {
    std::weak_ptr<TransactionDispatcher> dispatcher;
    std::weak_ptr<ReleaseThread> releaseThread;
};

// Runs work on the dispatcher while it exists. The reference taken for it
// may turn out to be the last one, and ending the dispatcher joins its
// thread, which may be waiting for the link's thread to take a message: the
// release thread lets go of it, never a thread of the link. (The factory
// holds the release thread until its link has stopped.)
template <typename Work>
void withDispatcher(DispatcherOfLink const& link, Work work)
{
    std::shared_ptr<TransactionDispatcher> dispatcher = link.dispatcher.lock();
    if (!dispatcher)
        return;
    work(*dispatcher);
    if (const auto releaseThread = link.releaseThread.lock())
        releaseThread->post([held = std::move(dispatcher)] {});
}

std::function<void()> onLinkFailure(DispatcherOfLink const& link)
{
    return [link] {
        withDispatcher(link,
                       [](TransactionDispatcher& dispatcher) { dispatcher.reportTransactionError(networkError()); });
    };
}

// A lost frame fails its own transaction only: a report that comes late
// must not fail a newer one.
std::function<void(QByteArray)> onFrameLost(DispatcherOfLink const& link)
{
    return [link](QByteArray const& payload) {
        withDispatcher(link, [&](TransactionDispatcher& dispatcher) {
            dispatcher.reportMessageError(payload, networkError());
        });
    };
}

// A message that waited for the link is sent only while its transaction runs.
std::function<bool(QByteArray const&)> whileInFlight(DispatcherOfLink const& link)
{
    return [link](QByteArray const& payload) {
        bool inFlight = false;
        withDispatcher(link, [&](TransactionDispatcher& dispatcher) { inFlight = dispatcher.isInFlight(payload); });
        return inFlight;
    };
}

} // namespace

ZUVASerialConnectionFactory::ZUVASerialConnectionFactory(std::shared_ptr<OXAEnvironment> environment,
                                                         kiss::LinkTimings timings,
                                                         std::shared_ptr<ReleaseThread> releaseThread)
    : m_environment(std::move(environment))
    , m_timings(timings)
    , m_releaseThread(std::move(releaseThread))
{
}

ZUVASerialConnectionFactory::~ZUVASerialConnectionFactory() = default;

std::unique_ptr<TerminalConnection> ZUVASerialConnectionFactory::create(
    std::shared_ptr<vorsam::SerialPort> port, std::function<void(QJsonDocument)> notification,
    std::function<void()> connected, std::function<void()> disconnected)
{
    replaceLink(port);
    const std::weak_ptr<kiss::Kiss> link = m_link;
    std::shared_ptr<TransactionDispatcher> dispatcher = makeTransactionDispatcher(m_link->getOutputStream());
    auto responseHandler = makeJsonZUVAResponseHandler(dispatcher, m_link->getInputStream(), notification,
                                                      ZUVATransactionTable::unawaitedReplies());
    watchTransactions(*dispatcher, link, responseHandler->transactionsWatch());
    auto requestHandler = makeJsonTransactionRequestHandler(dispatcher);
    m_link->setOnConnectedCallback(std::move(connected));
    m_link->setOnDisconnectedCallback(std::move(disconnected));
    // A refused write (link down) needs no report: the dispatcher fails its
    // transaction at once on the write's result.
    const DispatcherOfLink ofLink{dispatcher, m_releaseThread};
    m_link->setOnSendFailedCallback(onFrameLost(ofLink));
    m_link->setSendCheck(whileInFlight(ofLink));
    m_link->setOnReceiveFailedCallback(onLinkFailure(ofLink));
    m_link->start();
    return std::make_unique<ZUVATerminalConnection>(m_environment, dispatcher, std::move(requestHandler),
                                                    std::move(responseHandler));
}

void ZUVASerialConnectionFactory::replaceLink(std::shared_ptr<vorsam::SerialPort> const& port)
{
    // The earlier link stops before the new one starts on the same port.
    m_link.reset();
    kiss::LinkTimings timings = m_timings;
    if (timings.baudRate <= 0)
        timings.baudRate = vorsam::getBaudRateAsNumericValue(port->getBaudRate());
    m_link = std::make_shared<kiss::Kiss>(port->getInputStream(), port->getOutputStream(),
                                          heartBeatInterval(*m_environment), timings);
}

void ZUVASerialConnectionFactory::watchTransactions(TransactionDispatcher& dispatcher,
                                                    std::weak_ptr<kiss::Kiss> const& link,
                                                    std::function<void(bool ended)> transactions)
{
    dispatcher.setOnStartTransactionCallback([link, transactions] {
        if (const auto current = link.lock())
            current->disableHeartBeat();
        transactions(false);
    });
    dispatcher.setOnEndTransactionCallback([link, transactions] {
        if (const auto current = link.lock())
            current->enableHeartBeat();
        transactions(true);
    });
}

} // namespace oxa
