#include "SaleHost.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace saletest {

namespace {

const std::chrono::milliseconds kDeadline(5000);

QJsonObject objectOf(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json ? json : "")).object();
}

bool isDeliveryQuestion(const QJsonObject& document)
{
    return document.value("result").toObject().contains("productdelivery");
}

} // namespace

void SaleHost::Transaction::onDocument(const char* json, void* userData)
{
    auto* transaction = static_cast<Transaction*>(userData);
    const QJsonObject document = objectOf(json);
    const bool question = isDeliveryQuestion(document);
    transaction->update([&] { (question ? transaction->m_questions : transaction->m_results).push_back(document); });
    if (!question)
        return;
    if (transaction->onQuestion)
        transaction->onQuestion();
    if (!transaction->answer.empty() && transaction->m_reply)
        transaction->m_reply(transaction->answer.c_str(), transaction->m_replyHandle);
}

void SaleHost::Transaction::onFree(void* userData)
{
    auto* transaction = static_cast<Transaction*>(userData);
    transaction->update([transaction] { transaction->m_freed = true; });
}

void SaleHost::Transaction::update(const std::function<void()>& change)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        change();
    }
    m_changed.notify_all();
}

std::vector<QJsonObject> SaleHost::Transaction::results() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results;
}

std::vector<QJsonObject> SaleHost::Transaction::questions() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_questions;
}

bool SaleHost::Transaction::waitUntilFreed() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, testsupport::scaled(kDeadline), [this] { return m_freed; });
}

bool SaleHost::Transaction::waitForResults(size_t count) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, testsupport::scaled(kDeadline), [this, count] { return m_results.size() >= count; });
}

QJsonObject SaleHost::Transaction::result() const
{
    EXPECT_TRUE(waitUntilFreed());
    const std::vector<QJsonObject> all = results();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? QJsonObject() : all.front();
}

SaleHost::~SaleHost()
{
    stop();
}

bool SaleHost::start(int port)
{
    m_service = zuva_createTcpIpService(port, &ignore, &ignore, &onConnected, &ignore, &ignore, &ignore, this);
    return m_service != nullptr;
}

void SaleHost::stop()
{
    if (m_service)
        zuva_stopService(m_service);
    m_service = nullptr;
}

void SaleHost::onConnected(const char* json, void* userData)
{
    auto* host = static_cast<SaleHost*>(userData);
    const QString terminal = objectOf(json).value("terminal").toObject().value("terminalIdentifier").toString();
    {
        std::lock_guard<std::mutex> lock(host->m_mutex);
        host->m_terminals.insert(terminal.toStdString());
    }
    host->m_changed.notify_all();
}

bool SaleHost::waitForTerminal(const std::string& terminalId) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, testsupport::scaled(kDeadline),
                              [this, &terminalId] { return m_terminals.count(terminalId) > 0; });
}

std::shared_ptr<SaleHost::Transaction> SaleHost::send(const std::string& terminalId, const std::string& json,
                                                      std::shared_ptr<Transaction> transaction)
{
    if (!transaction)
        transaction = std::make_shared<Transaction>();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_transactions.push_back(transaction);
    }
    // The library fills the reply function and handle before it sends anything.
    transaction->returned =
        zuva_sendTransaction(terminalId.c_str(), json.c_str(), &Transaction::onDocument, transaction.get(),
                             &transaction->m_reply, &transaction->m_replyHandle, &Transaction::onFree);
    return transaction;
}

} // namespace saletest
