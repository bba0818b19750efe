#pragma once

#include "encoding/ZUVABody.h"
#include "engine/core/JsonTransactionRequest.h"
#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"
#include "engine/core/ZUVATransaction.h"

#include "support/MemoryStreams.h"
#include "simterminal/SimMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <boost/optional.hpp>

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Test translators, wire builders and result recorders shared by the engine core tests.
namespace coretest {

using testsupport::Bytes;
using testsupport::SimTlv;

inline QByteArray toQ(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

inline Bytes fromQ(const QByteArray& bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

// A whole terminal message: header and body.
inline QByteArray message(const std::string& type, int sequence, const std::vector<SimTlv>& elements = {})
{
    return toQ(testsupport::SimMessage::frame(testsupport::SimMessage::buildBody(type, sequence, elements)));
}

inline QByteArray rejection(int sequence, const std::string& rejectionHex)
{
    return message("Rj", sequence, {SimTlv::constructed(testsupport::fromHex("BF8101"), {SimTlv::hex("DF2D", rejectionHex)})});
}

inline QByteArray incidentReply(const std::string& type, int sequence, const std::string& incidentHex,
                                const std::string& merchantText = std::string())
{
    std::vector<SimTlv> elements{
        SimTlv::constructed(testsupport::fromHex("BF8101"), {SimTlv::hex("DF940D", incidentHex)})};
    if (!merchantText.empty())
        elements.push_back(SimTlv::primitive(testsupport::fromHex("DF9460"), SimTlv::text("DF13", merchantText).encode()));
    return message(type, sequence, elements);
}

// A packed-BCD element's value as a number, as the library reads amounts.
inline std::int64_t bcdValue(const SimTlv* element)
{
    std::int64_t value = 0;
    for (unsigned char byte : element->value)
        value = value * 100 + (byte >> 4) * 10 + (byte & 0x0F);
    return value;
}

inline boost::optional<std::int64_t> amountIn(const QByteArray& body, const char* tag)
{
    const SimTlv root = SimTlv::parseAll(fromQ(body)).at(0);
    const SimTlv* found = root.find(tag);
    return found ? boost::make_optional(bcdValue(found)) : boost::none;
}

// An amount of minor units as its 12-digit element.
inline SimTlv amountElement(const char* tag, std::int64_t minorUnits)
{
    char digits[13];
    std::snprintf(digits, sizeof digits, "%012lld", static_cast<long long>(minorUnits));
    return SimTlv::hex(tag, digits);
}

// A well-formed header announcing a body that is no BER-TLV element tree.
inline QByteArray messageWithUnreadableBody()
{
    const Bytes junk{0x01, 0x02, 0x03};
    return toQ(testsupport::SimMessage::frame(junk));
}

// The sent message of one write.
inline testsupport::SimMessage sentMessage(const QByteArray& write)
{
    return testsupport::SimMessage::parse(Bytes(write.begin(), write.begin() + 38), Bytes(write.begin() + 38, write.end()));
}

inline std::string extraInformation(const QJsonDocument& document, const std::string& key)
{
    for (const auto& entry : document.object().value("error").toObject().value("extraInformation").toArray()) {
        if (entry.toObject().value("key").toString().toStdString() == key)
            return entry.toObject().value("val").toString().toStdString();
    }
    return std::string();
}

inline bool isResult(const QJsonDocument& document)
{
    return document.object().contains("result");
}

inline int resultSequence(const QJsonDocument& document)
{
    return document.object()["result"].toObject()["sequence"].toInt(-1);
}

// How a transaction ended: {0, 0} a result, else the error's code and cause
// (-1 when absent); {-1, -1} no result at all.
using Outcome = std::pair<int, int>;
const Outcome Success{0, 0};

inline Outcome errorCodes(const QJsonDocument& document)
{
    const QJsonObject error = document.object().value("error").toObject();
    return {error.value("code").toInt(-1), error.value("causeCode").toInt(-1)};
}

// Request translator: body "type" with the sequence number. The request may
// carry "timeout" (seconds, kept like a real translator keeps what it read),
// "padding" (bytes of an extra element) and "fail" (throws).
class TestRequest : public oxa::JsonTransactionRequest {
public:
    explicit TestRequest(std::string type = "Ct") : m_type(std::move(type)) {}

    std::chrono::seconds getTransactionTimeout() const override { return m_timeout; }
    Ber::BerData getDestinationCode() const override { return Ber::BerData{0x00, 0x0A}; }

    void prepareZUVABody(int sequenceNumber, QJsonObject request, QByteArray& out) override
    {
        const QJsonObject transaction = request.value("transaction").toObject();
        if (transaction.value("fail").toBool())
            throw std::invalid_argument("translator refused");
        if (transaction.contains("timeout"))
            m_timeout = std::chrono::seconds(transaction.value("timeout").toInt());
        std::vector<SimTlv> elements;
        const int padding = transaction.value("padding").toInt();
        if (padding > 0)
            elements.push_back(SimTlv::primitive(testsupport::fromHex("DF01"), Bytes(size_t(padding), 0x55)));
        out.append(toQ(testsupport::SimMessage::buildBody(m_type, sequenceNumber, elements)));
    }
    // DF50 holds it.
    boost::optional<std::int64_t> requestedAmount(QByteArray const& body) const override
    {
        return amountIn(body, "DF50");
    }
    // DF21 says so.
    bool cancelsAnother(QByteArray const& body) const override
    {
        return SimTlv::parseAll(fromQ(body)).at(0).find("DF21") != nullptr;
    }

private:
    std::string m_type;
    std::chrono::seconds m_timeout{5};
};

// Response translator: {"result": {"type", "sequence"}}; a body holding DF02
// makes it throw "unreadable reply", one holding DF26 holds an amount. Asks
// the transaction's reverse callback, when there is one, before it answers.
class TestResponse : public oxa::JsonZUVAResponse {
public:
    explicit TestResponse(QString type = "Rt", bool carriesAmount = false)
        : m_type(std::move(type))
        , m_carriesAmount(carriesAmount)
    {
    }

    QString getMessageTypeId() const override { return m_type; }
    bool carriesAmount() const override { return m_carriesAmount; }

    void handleResponse(QByteArray bytes, QJsonDocument& response,
                        std::function<QJsonDocument(QJsonDocument)> reverse) override
    {
        if (reverse)
            reverse(QJsonDocument());
        const SimTlv root = SimTlv::parseAll(fromQ(bytes)).at(0);
        if (root.find("DF02"))
            throw std::runtime_error("unreadable reply");
        QJsonObject result{{"type", m_type}, {"sequence", sequenceOf(root)}};
        response = QJsonDocument(QJsonObject{{"result", result}});
    }

    bool mustReachHost(QByteArray const& bytes) const override
    {
        return SimTlv::parseAll(fromQ(bytes)).at(0).find("DF26") != nullptr;
    }

    QString describeLateReply(QByteArray const& bytes) const override
    {
        return QString("sequence %1").arg(sequenceOf(SimTlv::parseAll(fromQ(bytes)).at(0)));
    }
    boost::optional<std::int64_t> approvedAmount(QByteArray const& bytes) const override
    {
        return amountIn(bytes, "DF26");
    }

private:
    static int sequenceOf(const SimTlv& root)
    {
        const SimTlv* sequence = root.find("D1");
        return sequence ? (sequence->value.at(0) >> 4) * 10 + (sequence->value.at(0) & 0x0F) : -1;
    }

    QString m_type;
    bool m_carriesAmount;
};

// Counts results per transaction id; thread-safe.
class Results {
public:
    oxa::ZUVATransaction::ResultCallback callbackFor(int id)
    {
        return [this, id](QJsonDocument document) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_results[id].push_back(document);
            ++m_total;
            m_changed.notify_all();
        };
    }

    std::vector<QJsonDocument> of(int id) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_results.find(id);
        return found == m_results.end() ? std::vector<QJsonDocument>() : found->second;
    }

    size_t count(int id) const { return of(id).size(); }

    size_t total() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_total;
    }

    bool waitForTotal(size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return testsupport::noteWait(
            m_changed.wait_for(lock, testsupport::waitDeadline(deadline), [&] { return m_total >= count; }));
    }

    bool waitFor(int id, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return testsupport::noteWait(
            m_changed.wait_for(lock, testsupport::waitDeadline(deadline), [&] { return m_results.count(id) > 0; }));
    }

    // The first result of the transaction, empty when there is none.
    QJsonDocument first(int id) const
    {
        const auto all = of(id);
        return all.empty() ? QJsonDocument() : all.front();
    }

    // Waits for the transaction's result and tells how it ended.
    Outcome outcome(int id) const
    {
        if (!waitFor(id))
            return {-1, -1};
        const QJsonDocument document = first(id);
        return isResult(document) ? Success : errorCodes(document);
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<int, std::vector<QJsonDocument>> m_results;
    size_t m_total = 0;
};

// A transaction as the request handler would build it, without the handler.
struct TransactionPlan {
    std::string requestType = "Ct";
    QString replyType = "Rt";
    int sequence = 1;
    oxa::TransactionMethod method = oxa::Sequential;
    std::chrono::milliseconds timeout{5000};
    bool carriesAmount = false; // as a sale's reply
    int deliveryAnswer = 0; // a delivery sale answers its question under this number
    std::int64_t amount = 0; // asked for in DF50 when not 0
    bool cancellation = false; // a sale's, said in DF21
};

inline std::unique_ptr<oxa::ZUVATransaction> makeTransaction(const TransactionPlan& plan,
                                                             oxa::ZUVATransaction::ResultCallback callback)
{
    std::unique_ptr<oxa::ZUVATransaction> transaction(new oxa::ZUVATransaction());
    std::vector<SimTlv> elements;
    if (plan.amount)
        elements.push_back(amountElement("DF50", plan.amount));
    if (plan.cancellation)
        elements.push_back(SimTlv::hex("DF21", "8891"));
    const QByteArray bytes = message(plan.requestType, plan.sequence, elements);
    transaction->actionName = "Test";
    transaction->header = oxa::ZUVAHeader(bytes.left(38));
    transaction->body = oxa::ZUVABody(bytes.mid(38));
    transaction->response = std::make_shared<TestResponse>(plan.replyType, plan.carriesAmount);
    transaction->request = std::make_shared<TestRequest>(plan.requestType);
    transaction->method = plan.method;
    transaction->timeout = plan.timeout;
    transaction->resultCallback = std::move(callback);
    return transaction;
}

// Answers the delivery question at once with a nested transaction, as the
// product delivery translator does through the request handler.
class DeliveryQuestion : public oxa::JsonZUVAResponse {
public:
    // The answer goes out under the number, awaiting a reply of the type.
    DeliveryQuestion(std::weak_ptr<oxa::TransactionDispatcher> dispatcher, std::chrono::milliseconds timeout,
                     int answerSequence = 1, QString answerReply = "Rn")
        : m_dispatcher(std::move(dispatcher))
        , m_timeout(timeout)
        , m_answerSequence(answerSequence)
        , m_answerReply(std::move(answerReply))
    {
    }
    QString getMessageTypeId() const override { return "CR"; }
    void handleResponse(QByteArray body, QJsonDocument& response, std::function<QJsonDocument(QJsonDocument)>) override
    {
        const SimTlv root = SimTlv::parseAll(fromQ(body)).at(0);
        const SimTlv* type = root.find("D0");
        if (type && type->textValue() == "Rd") {
            response = QJsonDocument(QJsonObject{{"result", QJsonObject{{"type", "Rd"}}}});
            return;
        }
        TransactionPlan answer;
        answer.method = oxa::ImmediateNested;
        answer.requestType = "Cn";
        answer.replyType = m_answerReply;
        answer.sequence = m_answerSequence;
        answer.timeout = m_timeout;
        if (auto dispatcher = m_dispatcher.lock())
            dispatcher->dispatch(makeTransaction(answer, nullptr));
    }

private:
    std::weak_ptr<oxa::TransactionDispatcher> m_dispatcher;
    std::chrono::milliseconds m_timeout;
    int m_answerSequence;
    QString m_answerReply;
};

// Dispatcher and response handler of one connection over in-memory streams.
// The test thread plays the transport thread: receive() feeds and reads.
struct Connection {
    Connection() = default;
    explicit Connection(bool writesWithoutWaiting)
        : out(std::make_shared<testsupport::MemoryOutputStream>(writesWithoutWaiting))
    {
    }

    std::shared_ptr<testsupport::MemoryOutputStream> out = std::make_shared<testsupport::MemoryOutputStream>();
    std::shared_ptr<testsupport::MemoryInputStream> in = std::make_shared<testsupport::MemoryInputStream>();
    std::shared_ptr<oxa::TransactionDispatcher> dispatcher = oxa::makeTransactionDispatcher(out);
    Results notifications;
    std::unique_ptr<oxa::JsonZUVAResponseHandler> responses =
        oxa::makeJsonZUVAResponseHandler(dispatcher, in, notifications.callbackFor(0),
                                         oxa::UnawaitedReplies{std::make_shared<TestResponse>("Rd", true)});

    void receive(const QByteArray& bytes)
    {
        in->feed(bytes);
        responses->readMessage();
    }

    void receiveFrame(const QByteArray& frame)
    {
        in->feedFrame(frame);
        responses->readMessage();
    }

    // Sequence number of the n-th message written (0 based), after waiting for it.
    int sentSequence(size_t index)
    {
        if (!out->waitForWrites(index + 1))
            return -1;
        return sentMessage(out->writes()[index]).sequence;
    }
};

} // namespace coretest
